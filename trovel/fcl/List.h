#pragma once

#include <cstdint>

namespace XALFcl {

// A link that lives inside the element it threads. The destructor does not
// unlink; the owner of the element does.
class CBaseLink {
public:
    CBaseLink() = default;
    CBaseLink(const CBaseLink&) = delete;
    CBaseLink& operator=(const CBaseLink&) = delete;
    virtual ~CBaseLink() = default;

    CBaseLink* prev = nullptr;
    CBaseLink* next = nullptr;
};

// A circular list with a sentinel. It neither unlinks nor frees its elements
// when destroyed.
class CBaseList {
public:
    CBaseList() { head.prev = head.next = &head; }
    CBaseList(const CBaseList&) = delete;
    CBaseList& operator=(const CBaseList&) = delete;
    virtual ~CBaseList() = default;

    // Inserting before the sentinel appends at the end.
    void InsertBefore(CBaseLink* position, CBaseLink* link) {
        link->prev = position->prev;
        link->next = position;
        position->prev->next = link;
        position->prev = link;
        ++count;
    }
    void Remove(CBaseLink* link) {
        link->prev->next = link->next;
        link->next->prev = link->prev;
        link->prev = link->next = nullptr;
        --count;
    }
    CBaseLink* First() { return head.next; }
    CBaseLink* Last() { return head.prev; }
    const CBaseLink* End() const { return &head; }
    CBaseLink* End() { return &head; }
    bool Empty() const { return head.next == &head; }

    CBaseLink head;
    std::int32_t count = 0;
};

// The typed list. `Member` names the element's link member; the way back from
// a link to its element goes through the link's owner pointer, never through
// a byte offset.
template <class T, class Link, Link T::*Member>
class CList : public CBaseList {
public:
    static T* Owner(CBaseLink* link) { return static_cast<Link*>(link)->owner; }

    void Append(T* element) { CBaseList::InsertBefore(&head, &(element->*Member)); }
    void InsertBefore(T* position, T* element) {
        CBaseList::InsertBefore(&(position->*Member), &(element->*Member));
    }
    void Remove(T* element) { CBaseList::Remove(&(element->*Member)); }

    T* First() { return Empty() ? nullptr : Owner(head.next); }
    T* Last() { return Empty() ? nullptr : Owner(head.prev); }
    T* Next(T* element) {
        CBaseLink* n = (element->*Member).next;
        return n == &head ? nullptr : Owner(n);
    }
};

// A link that knows the element it threads.
template <class T>
class COwnedLink : public CBaseLink {
public:
    explicit COwnedLink(T* owner_) : owner(owner_) {}
    T* owner;
};

} // namespace XALFcl
