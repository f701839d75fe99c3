#pragma once

#include "fcl/Exception.h"

#include <cstdint>
#include <string>

// An error of the front end itself: no free output directory name is left
// for an extraction. `subject` is the name without extension.
class CArchiverException : public XALFcl::CException {
public:
    enum Code : std::int32_t {
        kCannotMakeDirectory = 1,
    };

    CArchiverException(std::int32_t code, std::string subject);
    void Print() const override;
    ~CArchiverException() override = default;

    std::int32_t code;
    std::string subject;
};
