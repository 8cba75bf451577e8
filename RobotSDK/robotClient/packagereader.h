#ifndef PACKAGEREADER_H
#define PACKAGEREADER_H

#include <algorithm>
#include <cstdint>
#include <vector>

// Cuts the link's byte stream into packages. The stream is received into a staging area in
// chunks, and every complete package is handed out where it lies, so a package costs neither
// a copy nor receive calls of its own. Garbage is skipped through a 4-byte window: a byte is
// dropped only once the four bytes from it are staged and are not a start marker.
//
// A package is cut (refused, and the search for a start marker resumes at the byte after its
// start marker, so the packages among the bytes it claimed still come out in order) when:
// - a whole package lies inside the bytes it claims: a start marker whose length field puts
//   an end marker FF FF FF FF inside the claim. This is decided as soon as that inner package
//   is staged, so a lying length does not hold back what follows it; or
// - its end marker is not FF FF FF FF and a start marker stands inside the bytes it claims.
// Any other package is handed out whatever its check field and end marker hold. The reading
// depends only on the bytes, not on how they are cut into chunks.
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
    void received(int count);

    // The next complete package: the length field's count of bytes after it (command type,
    // body, check field, end marker). False when more bytes are needed.
    bool nextPackage(const char *&package, int &length);

    // Bytes of a package not yet complete are staged.
    bool holdsPartial() const { return m_end > m_begin; }

    // The stream stalled or ended inside a package, once nextPackage has returned false: that
    // package is refused (or a start marker cut short dropped), and nextPackage reads what
    // it had taken again.
    void refuseCutPackage();

    // Logout inside a package: the staged part is dropped and the failure is logged as the
    // stage it reached.
    void abandon();

private:
    enum class Stage { Marker, Length, Body };

    // A start marker with a usable length field, and where its package would end.
    struct Candidate {
        int end;
        int start;
        bool operator>(const Candidate &other) const { return end > other.end; }
    };

    bool findMarker();
    void indexMarkers();
    bool wholePackageWithin(int claimEnd);
    bool markerWithin(int from, int to) const;
    bool endMarkerBefore(int at) const;
    void rebase(int shift);
    void consume(int count);
    void refuse();
    void refuseWithoutEndMarker();
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
    // Every start marker before m_scan is indexed; candidates form a heap, nearest end first.
    // Each staged byte is indexed once, so hostile streams cost time linear in their bytes.
    int m_scan = 0;
    std::vector<Candidate> m_candidates;
};

#endif
