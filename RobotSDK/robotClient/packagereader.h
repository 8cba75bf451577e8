#ifndef PACKAGEREADER_H
#define PACKAGEREADER_H

#include <algorithm>
#include <cstdint>
#include <deque>
#include <unordered_map>

// What ended the stream inside a package.
enum class PackageCut { Stall, Close, Error };

// Cuts the link's byte stream into packages. The stream is received into a staging area in
// chunks, and every complete package is handed out where it lies, so a package costs neither
// a copy nor receive calls of its own. Garbage is skipped through a 4-byte window: a byte is
// dropped only once the four bytes from it are staged and are not a start marker.
//
// A package is read by its length field. Its claim may lie, and then it would swallow the
// packages after it, so it is cut (refused, and the search for a start marker resumes at the
// byte after its start marker, so the packages among the bytes it claimed still come out in
// order) when:
// - a package starting inside the claim ends exactly where the claim ends: the claim stops on
//   a later package's last byte. Decided as soon as that package's length field is staged;
// - its claim is staged whole, does not end in the trailer the controller writes
//   (00 00 00 00 FF FF FF FF), and the last package starting inside it runs on past its end
//   (its head, once its whole start marker is inside, or the length its field gives): the
//   claim stops inside a later package.
// A claim ending in that trailer is handed out whole, whatever its body quotes. Every rule
// looks at the stream's bytes alone, never at where the receives fell, so the same bytes are
// always read the same way; a claim is not judged before its bytes have come (or the stream
// stalls, see refuseCutPackage), as any guess would cut honest packages.
class PackageReader {
public:
    // Start marker and length field.
    static constexpr int HEAD_BYTES = 8;

    // The largest package, one receive chunk and room to let the head of the stream advance
    // before the staged bytes are moved down; see freeSpace.
    static constexpr int stagingSize(int maxLength, int chunk) {
        return HEAD_BYTES + maxLength + std::max(2 * chunk, maxLength / 4);
    }

    // capacity: stagingSize(maxLength, the largest chunk freeSpace is asked for).
    PackageReader(char *staging, int capacity, int maxLength);

    // Where the next receive goes; room is at most chunk. Invalidates packages handed out.
    char *freeSpace(int chunk, int &room);
    // One receive's bytes are staged.
    void received(int count) { m_end += count; }

    // The next complete package: the length field's count of bytes after it (command type,
    // body, check field, end marker). False when more bytes are needed.
    bool nextPackage(const char *&package, int &length);

    // Bytes of a package not yet complete are staged.
    bool holdsPartial() const { return m_end > m_begin; }

    // The stream stalled or ended inside a package, once nextPackage has returned false: that
    // package is refused with the lines of the stage it reached and every later one, and
    // nextPackage reads what it had taken again. A start marker cut short is dropped when the
    // stream ended, and kept when it stalled, as its rest may still come; false then, as
    // nothing was refused.
    bool refuseCutPackage(PackageCut cause);

    // Logout inside a package: the staged part is dropped and the failure is logged as the
    // stage it reached.
    void abandon();

private:
    enum class Stage { Marker, Length, Body };
    // Positions of packageEnd that are not ends.
    static constexpr int NOT_A_PACKAGE = -1;
    static constexpr int NOT_STAGED = -2;

    bool findMarker();
    bool takeLength();
    int packageEnd(int at) const;
    void indexMarkers(int to);
    int startEndingAt(int end) const;
    bool claimCut(int claimEnd) const;
    bool endsInTrailer(int claimEnd) const;
    bool packageRunsPast(int claimEnd) const;
    void rebase(int shift);
    void clearIndex();
    void consume(int count);
    void refuse();
    void keepMarkerStart();
    bool insideRefused() const;
    void logStageLines() const;
    int staged() const { return m_end - m_begin; }

    char *const m_staging;
    const int m_capacity;
    const int m_maxLength;
    int m_begin = 0;
    int m_end = 0;
    Stage m_stage = Stage::Marker;
    int32_t m_length = 0;
    // One line per search for a marker, however many bytes it skips.
    bool m_skipLogged = false;
    // Stream offset up to which the bytes are those of a refused package, which its line
    // covers.
    int64_t m_refusedEnd = 0;
    // Every start marker before m_scan, from the head's length field on, is indexed by where
    // its package ends (stream offsets, so moving the staged bytes keeps them): the latest
    // start ending there. Each staged byte is indexed once, so hostile streams cost time
    // linear in their bytes.
    int m_scan = 0;
    int64_t m_origin = 0;  // stream offset of the staging area's first byte
    std::unordered_map<int64_t, int64_t> m_startByEnd;
    // The same starts in stream order.
    std::deque<int64_t> m_packageStarts;
};

#endif
