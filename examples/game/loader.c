/*
 * loader.c: reads members out of a trovel archive the way game code does,
 * by file ID through the constants of the index header that `trovel -i`
 * writes, and by path through the archive's name table. It needs the C99
 * standard library and nothing else, and was written from docs/formats.md
 * alone.
 *
 * Build (game.kpix is the index header of the archive, made with -f):
 *     cc -std=c99 -Wall -Wextra -pedantic -Werror -I. -o loader game/loader.c
 * Run:
 *     ./loader game.kpak          reads a few members by ID and by path and
 *                                 checks them; exit status 1 when one fails
 *     ./loader game.kpak PATH...  looks each archive path up (case is ignored)
 *     ./loader -l game.kpak       lists every member, as `trovel -l` does
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "game.kpix"

/* ------------------------------------------------------------------------
 * The reader: the whole archive in memory, and where its three blocks are.
 */

#define KPAK_ROOT_ID 0xF000u
#define KPAK_MAX_DIRECTORIES 4096u
#define KPAK_SUBDIRECTORY 0x80u
#define KPAK_LENGTH_MASK 0x7Fu

struct kpak {
    unsigned char *bytes; /* the whole file */
    size_t size;
    int big_endian;
    const unsigned char *fat; /* BTAF, from its block header on */
    uint32_t fat_size;
    const unsigned char *names; /* the name-table data, after BTNF's header */
    uint32_t names_size;
    const unsigned char *image; /* the file contents, after GMIF's header */
    uint32_t image_size;
    unsigned file_count;
};

static uint16_t get16(const struct kpak *k, const unsigned char *p)
{
    return k->big_endian ? (uint16_t)(p[0] << 8 | p[1]) : (uint16_t)(p[1] << 8 | p[0]);
}

static uint32_t get32(const struct kpak *k, const unsigned char *p)
{
    if (k->big_endian)
        return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
    return (uint32_t)p[3] << 24 | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

/* Reads the file whole. Returns 0, or 1 with nothing allocated. */
static int read_file(const char *path, unsigned char **bytes, size_t *size)
{
    FILE *file = fopen(path, "rb");
    unsigned char *buffer = NULL;
    size_t used = 0, room = 0;
    if (file == NULL)
        return 1;
    for (;;) {
        if (used == room) {
            unsigned char *bigger;
            room = room == 0 ? 65536 : room * 2;
            bigger = realloc(buffer, room);
            if (bigger == NULL)
                break;
            buffer = bigger;
        }
        used += fread(buffer + used, 1, room - used, file);
        if (used < room)
            break;
    }
    if (used == room || ferror(file)) {
        free(buffer);
        fclose(file);
        return 1;
    }
    fclose(file);
    *bytes = buffer;
    *size = used;
    return 0;
}

/* Checks the header, finds the three blocks and checks the allocation
 * table. Returns NULL, or what is wrong. */
static const char *kpak_parse(struct kpak *k)
{
    /* A block kind is a 32-bit value in the file's byte order. */
    const uint32_t kind_fat = 0x46415442u, kind_names = 0x464E5442u, kind_image = 0x46494D47u;
    size_t position;
    uint32_t i;
    uint16_t block_count;
    if (k->size < 16 || memcmp(k->bytes, "KPAK", 4) != 0)
        return "not an archive";
    k->big_endian = k->bytes[4] == 0xFF && k->bytes[5] == 0xFE;
    position = get16(k, k->bytes + 12);
    block_count = get16(k, k->bytes + 14);
    for (i = 0; i < block_count; ++i) {
        uint32_t kind, size;
        if (position > k->size || k->size - position < 8)
            return "a block runs past the end of the file";
        kind = get32(k, k->bytes + position);
        size = get32(k, k->bytes + position + 4);
        if (size < 8 || size > k->size - position)
            return "a block runs past the end of the file";
        if (kind == kind_fat) {
            k->fat = k->bytes + position;
            k->fat_size = size;
        } else if (kind == kind_names) {
            k->names = k->bytes + position + 8;
            k->names_size = size - 8;
        } else if (kind == kind_image) {
            k->image = k->bytes + position + 8;
            k->image_size = size - 8;
        }
        position += size;
    }
    if (k->fat == NULL || k->names == NULL || k->image == NULL || k->fat_size < 12)
        return "a block is missing";
    k->file_count = get16(k, k->fat + 8);
    if (k->fat_size - 12 < 8u * k->file_count)
        return "the allocation table is cut short";
    for (i = 0; i < k->file_count; ++i) {
        uint32_t start = get32(k, k->fat + 12 + 8 * i), end = get32(k, k->fat + 16 + 8 * i);
        if (end < start || end > k->image_size)
            return "a member lies outside the file image";
    }
    return NULL;
}

static const char *kpak_open(struct kpak *k, const char *path)
{
    const char *problem;
    memset(k, 0, sizeof *k);
    if (read_file(path, &k->bytes, &k->size) != 0)
        return "cannot read the file";
    problem = kpak_parse(k);
    if (problem != NULL) {
        free(k->bytes);
        k->bytes = NULL;
    }
    return problem;
}

static void kpak_close(struct kpak *k)
{
    free(k->bytes);
    k->bytes = NULL;
}

/* The contents of file `id` and their length, or NULL for no such file. */
static const unsigned char *kpak_member(const struct kpak *k, unsigned id, uint32_t *length)
{
    uint32_t start, end;
    if (id >= k->file_count)
        return NULL;
    start = get32(k, k->fat + 12 + 8 * id);
    end = get32(k, k->fat + 16 + 8 * id);
    *length = end - start;
    return k->image + start;
}

/* One entry of a directory's name sub-table. */
struct kpak_entry {
    const unsigned char *name;
    unsigned length;
    int is_directory;
    unsigned id; /* file ID, or the subdirectory's directory ID */
};

/* Where the sub-table of directory `dir_id` starts, and its first file ID;
 * 0 when the directory table has no such entry. */
static int kpak_directory(const struct kpak *k, unsigned dir_id, uint32_t *cursor,
                          unsigned *first_file)
{
    uint32_t record;
    if (dir_id < KPAK_ROOT_ID)
        return 0;
    record = 8 * (dir_id - KPAK_ROOT_ID);
    if (record > k->names_size || k->names_size - record < 8)
        return 0;
    *cursor = get32(k, k->names + record);
    *first_file = get16(k, k->names + record + 4);
    return 1;
}

/* Reads the entry at `*cursor` and moves past it; `*next_file` is the ID
 * that the next file entry takes. Returns 1 for an entry, 0 at the end of
 * the sub-table, -1 when the table runs past its block. */
static int kpak_next(const struct kpak *k, uint32_t *cursor, unsigned *next_file,
                     struct kpak_entry *entry)
{
    unsigned head;
    if (*cursor >= k->names_size)
        return -1;
    head = k->names[(*cursor)++];
    if (head == 0)
        return 0;
    entry->length = head & KPAK_LENGTH_MASK;
    entry->is_directory = (head & KPAK_SUBDIRECTORY) != 0;
    if (k->names_size - *cursor < entry->length + (entry->is_directory ? 2u : 0u))
        return -1;
    entry->name = k->names + *cursor;
    *cursor += entry->length;
    if (entry->is_directory) {
        entry->id = get16(k, k->names + *cursor);
        *cursor += 2;
    } else {
        entry->id = (*next_file)++ & 0xFFFFu;
    }
    return 1;
}

static int same_name(const unsigned char *name, unsigned length, const char *text, size_t count)
{
    size_t i;
    if (length != count)
        return 0;
    for (i = 0; i < count; ++i) {
        int a = name[i], b = (unsigned char)text[i];
        if (a >= 'a' && a <= 'z')
            a -= 'a' - 'A';
        if (b >= 'a' && b <= 'z')
            b -= 'a' - 'A';
        if (a != b)
            return 0;
    }
    return 1;
}

/* The file ID of the member at the archive path `path` ("/dir/name"; names
 * match without regard to ASCII case, as trovel matches them), or -1 when
 * there is no such file. */
static long kpak_find(const struct kpak *k, const char *path)
{
    unsigned dir_id = KPAK_ROOT_ID, steps = 0;
    while (*path == '/')
        ++path;
    while (*path != '\0' && steps++ < KPAK_MAX_DIRECTORIES) {
        size_t count = strcspn(path, "/");
        const char *rest = path + count;
        int last, found = 0;
        uint32_t cursor;
        unsigned next_file;
        struct kpak_entry entry;
        while (*rest == '/')
            ++rest;
        last = *rest == '\0';
        if (!kpak_directory(k, dir_id, &cursor, &next_file))
            return -1;
        while (kpak_next(k, &cursor, &next_file, &entry) == 1) {
            if (!same_name(entry.name, entry.length, path, count))
                continue;
            if (entry.is_directory && !last) {
                dir_id = entry.id;
                found = 1;
                break;
            }
            if (!entry.is_directory && last)
                return (long)entry.id;
        }
        if (!found)
            return -1;
        path = rest;
    }
    return -1;
}

/* Prints the entries of directory `dir_id` (its path is `path`), then the
 * contents of each subdirectory: the order and the lines of `trovel -l`. */
static int kpak_list(const struct kpak *k, unsigned dir_id, char *path, size_t length,
                     unsigned depth)
{
    uint32_t cursor, sub_cursor;
    unsigned next_file, sub_next;
    struct kpak_entry entry;
    int more;
    if (depth > KPAK_MAX_DIRECTORIES || !kpak_directory(k, dir_id, &cursor, &next_file))
        return 1;
    sub_cursor = cursor;
    sub_next = next_file;
    while ((more = kpak_next(k, &cursor, &next_file, &entry)) == 1) {
        uint32_t size = 0;
        if (entry.is_directory)
            printf("<DIR> :        0 %.*s%.*s/\n", (int)length, path, (int)entry.length,
                   (const char *)entry.name);
        else if (kpak_member(k, entry.id, &size) != NULL)
            printf("%6u: %8lu %.*s%.*s\n", entry.id, (unsigned long)size, (int)length, path,
                   (int)entry.length, (const char *)entry.name);
        else
            return 1;
    }
    if (more < 0)
        return 1;
    while (kpak_next(k, &sub_cursor, &sub_next, &entry) == 1) {
        if (!entry.is_directory)
            continue;
        memcpy(path + length, entry.name, entry.length);
        path[length + entry.length] = '/';
        if (kpak_list(k, entry.id, path, length + entry.length + 1, depth + 1) != 0)
            return 1;
    }
    return 0;
}

/* ------------------------------------------------------------------------
 * The game: a few members read as a game would read them.
 */

/* Ends a report line with the member's size and its first line (at most
 * 72 bytes of it). */
static void print_member(const unsigned char *bytes, uint32_t length)
{
    uint32_t end = 0;
    while (end < length && end < 72 && bytes[end] != '\n' && bytes[end] != '\r')
        ++end;
    printf("%lu bytes, \"%.*s\"\n", (unsigned long)length, (int)end, (const char *)bytes);
}

/* Reads member `id` (the constant `symbol`) by ID. */
static int read_by_id(const struct kpak *k, unsigned id, const char *symbol)
{
    uint32_t length;
    const unsigned char *bytes = kpak_member(k, id, &length);
    if (bytes == NULL) {
        printf("by ID:   %s = %u: no such file\n", symbol, id);
        return 1;
    }
    printf("by ID:   %s = %u: ", symbol, id);
    print_member(bytes, length);
    return 0;
}

/* Looks `path` up by name; with `expected` >= 0, the ID must be that. */
static int read_by_path(const struct kpak *k, const char *path, long expected)
{
    uint32_t length;
    const unsigned char *bytes;
    long id = kpak_find(k, path);
    if (id < 0) {
        printf("by path: %s: not in the archive\n", path);
        return 1;
    }
    printf("by path: %s: file ID %ld, ", path, id);
    bytes = kpak_member(k, (unsigned)id, &length);
    if (bytes == NULL) {
        printf("which the allocation table lacks\n");
        return 1;
    }
    print_member(bytes, length);
    if (expected >= 0 && id != expected) {
        printf("         expected file ID %ld\n", expected);
        return 1;
    }
    return 0;
}

/* A wave file stored in the archive: a 24-byte header starting "SWAV",
 * then its samples. */
static int play_wave(const struct kpak *k, unsigned id, const char *symbol)
{
    uint32_t length;
    const unsigned char *bytes = kpak_member(k, id, &length);
    if (bytes == NULL || length < 24 || memcmp(bytes, "SWAV", 4) != 0) {
        printf("wave:    %s = %u: not a wave file\n", symbol, id);
        return 1;
    }
    printf("wave:    %s = %u: %lu sample bytes\n", symbol, id, (unsigned long)(length - 24));
    return 0;
}

int main(int argc, char **argv)
{
    struct kpak archive;
    const char *problem;
    const char *path;
    int failures = 0, listing = argc > 1 && strcmp(argv[1], "-l") == 0;
    int first = listing ? 2 : 1;
    if (argc <= first) {
        fprintf(stderr, "usage: loader [-l] archive [archive path...]\n");
        return 1;
    }
    path = argv[first];
    problem = kpak_open(&archive, path);
    if (problem != NULL) {
        fprintf(stderr, "loader: %s: %s\n", path, problem);
        return 1;
    }
    if (listing) {
        static char buffer[KPAK_MAX_DIRECTORIES * 128 + 2] = "/";
        printf("\nfileID:  byte(s) name\n----------------------------------------\n");
        failures = kpak_list(&archive, KPAK_ROOT_ID, buffer, 1, 0);
    } else if (argc > first + 1) {
        int i;
        for (i = first + 1; i < argc; ++i)
            failures += read_by_path(&archive, argv[i], -1);
    } else {
        printf("%s: %u files, %s\n", path, archive.file_count,
               archive.big_endian ? "big-endian" : "little-endian");
        failures += read_by_id(&archive, KPAK_game_text_strings_en_txt,
                               "KPAK_game_text_strings_en_txt");
        failures += read_by_path(&archive, "/gfx/font/ascii.kgfx", KPAK_game_gfx_font_ascii_kgfx);
        failures += read_by_path(&archive, "/MAPS/world1/1-2.MAP", KPAK_game_maps_world1_1_2_map);
        failures += play_wave(&archive, KPAK_game_sound_chime_swav, "KPAK_game_sound_chime_swav");
        if (kpak_find(&archive, "/no/such/file.bin") < 0) {
            printf("by path: /no/such/file.bin: not in the archive\n");
        } else {
            printf("by path: /no/such/file.bin: found, yet it is no member\n");
            ++failures;
        }
    }
    kpak_close(&archive);
    return failures == 0 ? 0 : 1;
}
