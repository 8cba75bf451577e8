// Feeds byte streams to the controller link's receive path.
// - The input itself: the package reader alone, with a staging area small enough to be moved
//   often, must read it the same way in every chunking (one receive, a byte per receive, pieces
//   of a size the input picks, random pieces, receives ending on every start marker and end
//   marker), and hand out only packages of the stream, in order, none overlapping.
// - Packages built from the input, each ending in the trailer the controller writes, whose
//   bodies quote start markers and heads of any length: under every chunking, also one package
//   per receive, groups of them, a fixed grid and segments of 1448 bytes, the reader hands out
//   exactly those packages, as reading by the length field alone does. It is known to cut one
//   kind: a body quoting a head whose length ends exactly where its package ends. Inputs that
//   build one are left out of this part.
// - Whole packages whose bodies hold no start marker, with packages cut short among them (heads
//   claiming more than the bytes that follow them before the next package) and stalls after
//   some whole packages: every whole package comes out, in order, and nothing else. The one
//   kind of cut package known to swallow what it claimed ends just after bytes that look like
//   the controller's trailer, and so is one whose claim ends one to three bytes into a start
//   marker: inputs that hold that trailer anywhere but at the end of a whole package, or such a
//   claim, are left out of this part.
// - Packages whose check fields and end markers are any bytes, as a controller that writes its
//   own may send, read as their length fields give them under every chunking, as long as no
//   package holds a whole start marker after its own.
// - A loopback connection carries one of the streams to the link, and a peer writes it and
//   closes: the link must never crash or hang, and hands on what the reader alone reads.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <log4cplus/logger.h>

#include "packagereader.h"
#include "robotcommunicationclient.h"
#include "robottracelog.h"

namespace {

using Link = RobotCommunicationClient;
using Packages = std::vector<std::string>;
using Cuts = std::vector<std::size_t>;  // where receives end

void require(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

// Everything the link hands on for one input, up to the peer's close.
class RecordingLink : public Link {
public:
    ~RecordingLink() { disconnectRobotServer(); }

    void responseProcess(int socketFd, const char *content, int length) override {
        require(content != nullptr);
        require(length >= 4 &&
                length <= RECV_BUFFER_SIZE - ROBOT_COMMAND_CRC_BYTE - ROBOT_COMMAND_END_BYTE);
        std::lock_guard<std::mutex> lock(m_mutex);
        require(!m_closed);  // nothing after the link-loss event
        if (socketFd == -1) {
            m_closed = true;
            m_changed.notify_all();
            return;
        }
        m_packages.emplace_back(content, static_cast<std::size_t>(length));
    }

    // Bounded: a reader that does not see the close within the time is a hang.
    Packages waitForClose() {
        std::unique_lock<std::mutex> lock(m_mutex);
        require(m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_closed; }));
        Packages packages;
        packages.swap(m_packages);
        m_closed = false;
        return packages;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Packages m_packages;
    bool m_closed = false;
};

const std::size_t NONE = std::string::npos;
const std::string MARKER(reinterpret_cast<const char *>(Link::ROBOT_COMMAND_SOF),
                         Link::ROBOT_COMMAND_SOF_BYTE);
const std::string END_MARKER(reinterpret_cast<const char *>(Link::ROBOT_COMMAND_END),
                             Link::ROBOT_COMMAND_END_BYTE);
const std::string TRAILER = std::string(reinterpret_cast<const char *>(Link::ROBOT_COMMAND_CRC),
                                        Link::ROBOT_COMMAND_CRC_BYTE) +
                            END_MARKER;
const std::size_t HEAD = 8;

std::int32_t int32At(const std::string &bytes, std::size_t at) {
    std::int32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof(value));
    return value;
}

// Packages of the stream, in order, none overlapping: each the earliest fit after the last.
bool framedInOrder(const std::string &stream, const Packages &packages) {
    std::size_t from = 0;
    for (const std::string &package : packages) {
        std::size_t at = stream.find(MARKER, from);
        for (; at != NONE; at = stream.find(MARKER, at + 1)) {
            if (stream.size() - at < HEAD + package.size() + TRAILER.size()) return false;
            if (static_cast<std::size_t>(int32At(stream, at + MARKER.size())) ==
                    package.size() + TRAILER.size() &&
                stream.compare(at + HEAD, package.size(), package) == 0) {
                break;
            }
        }
        if (at == NONE) return false;
        from = at + HEAD + package.size() + TRAILER.size();
    }
    return true;
}

// The reader alone, fed the stream in receives that end at the cuts (and are at most a chunk),
// the stream stalling after those cuts that are stalls too, then told the stream ended.
// Returns command type and body of each package handed out.
Packages readAlone(const std::string &stream, const Cuts &cuts, int largest, int chunk,
                   const Cuts &stalls = {}) {
    const int capacity = PackageReader::stagingSize(largest, chunk);
    static std::vector<char> staging;
    staging.assign(static_cast<std::size_t>(capacity), '\0');
    PackageReader reader(staging.data(), capacity, largest);
    Packages packages;
    auto deliver = [&] {
        const char *package = nullptr;
        int length = 0;
        while (reader.nextPackage(package, length)) {
            require(length >= Link::MIN_LENGTH_FIELD && length <= largest);
            require(package >= staging.data() && package + length <= staging.data() + capacity);
            packages.emplace_back(package, static_cast<std::size_t>(length) - TRAILER.size());
        }
    };
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        while (at < cut) {
            int room = 0;
            char *space = reader.freeSpace(chunk, room);
            require(room > 0);
            const std::size_t n = std::min(static_cast<std::size_t>(room), cut - at);
            std::memcpy(space, stream.data() + at, n);
            reader.received(static_cast<int>(n));
            at += n;
            deliver();
        }
        const bool stall = std::binary_search(stalls.begin(), stalls.end(), cut);
        while (stall && reader.holdsPartial() && reader.refuseCutPackage(PackageCut::Stall)) {
            deliver();
        }
    }
    while (reader.holdsPartial()) {
        reader.refuseCutPackage(PackageCut::Close);
        deliver();
    }
    return packages;
}

const int SMALL_LARGEST = 1024;
const int SMALL_CHUNK = 256;

Packages readWhole(const std::string &stream, int largest, int chunk) {
    return readAlone(stream, {stream.size()}, largest, chunk);
}

// Receives ending every `piece` bytes.
Cuts grid(std::size_t size, std::size_t piece) {
    Cuts cuts;
    for (std::size_t at = piece; at < size; at += piece) cuts.push_back(at);
    cuts.push_back(size);
    return cuts;
}

// Chunkings of any stream: a byte per receive, pieces the input picks, random pieces, and
// receives ending on every start marker and after every end marker.
std::vector<Cuts> chunkings(const std::string &stream, std::uint32_t seed) {
    std::vector<Cuts> all = {grid(stream.size(), 1), grid(stream.size(), seed % 61 + 2)};
    std::minstd_rand random(seed);
    Cuts pieces, markers;
    for (std::size_t at = 0; at < stream.size();) {
        at = std::min(stream.size(), at + 1 + random() % 300);
        pieces.push_back(at);
    }
    for (std::size_t at = 1; at < stream.size(); ++at) {
        if (stream.compare(at, MARKER.size(), MARKER) == 0 ||
            (at >= END_MARKER.size() && stream.compare(at - 4, 4, END_MARKER) == 0)) {
            markers.push_back(at);
        }
    }
    markers.push_back(stream.size());
    all.push_back(pieces);
    all.push_back(markers);
    return all;
}

// Packages that a controller wrote, and where each ends.
struct Honest {
    std::string stream;
    Packages packages;  // command type and body of each
    Cuts ends;
};

void appendHead(std::string &stream, std::int32_t length) {
    stream += MARKER;
    stream.append(reinterpret_cast<const char *>(&length), sizeof(length));
}

// Appends a package of the content (command type and body) ending in the trailer.
void appendPackage(Honest &honest, std::string content, const std::string &trailer) {
    content.resize(std::min<std::size_t>(content.size(), SMALL_LARGEST - trailer.size()));
    appendHead(honest.stream, static_cast<std::int32_t>(content.size() + trailer.size()));
    honest.stream += content + trailer;
    honest.packages.push_back(content);
    honest.ends.push_back(honest.stream.size());
}

std::string typeBytes(std::int32_t type) {
    return std::string(reinterpret_cast<const char *>(&type), sizeof(type));
}

// Honest packages built from the input: per package a command type, a body length and the
// body's bytes, in which every EE byte becomes a whole start marker, so that bodies quote
// markers and, with the bytes after them, heads claiming any length.
Honest honestPackages(const std::uint8_t *data, std::size_t size) {
    Honest honest;
    for (std::size_t at = 0; at + 2 <= size;) {
        const std::int32_t type = data[at] % Link::ROBOT_COMMAND_SOF_BYTE == 0 ? 2 : data[at] % 87;
        const std::size_t want = data[at + 1];
        at += 2;
        std::string content = typeBytes(type);
        for (std::size_t taken = 0; at < size && taken < want; ++at, ++taken) {
            content += data[at] == 0xEE ? MARKER : std::string(1, static_cast<char>(data[at]));
        }
        appendPackage(honest, content, TRAILER);
    }
    return honest;
}

// Honest packages of a controller that writes check fields and end markers of its own: per
// package a command type byte, a length byte, the eight bytes of its trailer and the body's
// bytes, as they come.
Honest ownTrailers(const std::uint8_t *data, std::size_t size) {
    Honest honest;
    const std::size_t fields = 2 + TRAILER.size();
    for (std::size_t at = 0; at + fields <= size;) {
        const std::size_t want = data[at + 1];
        const std::string trailer(reinterpret_cast<const char *>(data + at + 2), TRAILER.size());
        std::string content = typeBytes(data[at] % 87);
        at += fields;
        const std::size_t taken = std::min(want, size - at);
        content.append(reinterpret_cast<const char *>(data + at), taken);
        at += taken;
        appendPackage(honest, content, trailer);
    }
    return honest;
}

// No package holds a whole start marker after its own, in its body, its trailer or across
// them.
bool markersOnlyAtStarts(const Honest &honest) {
    for (std::size_t at = honest.stream.find(MARKER, 1); at != NONE;
         at = honest.stream.find(MARKER, at + 1)) {
        if (!std::binary_search(honest.ends.begin(), honest.ends.end(), at)) return false;
    }
    return true;
}

// A start marker inside a package whose length field ends it exactly where its package ends.
bool quotesAHeadEndingWithIt(const Honest &honest) {
    std::size_t start = 0;
    for (std::size_t end : honest.ends) {
        for (std::size_t at = honest.stream.find(MARKER, start + HEAD);
             at != NONE && at + HEAD <= end; at = honest.stream.find(MARKER, at + 1)) {
            if (at + HEAD + static_cast<std::size_t>(int32At(honest.stream, at + 4)) == end) {
                return true;
            }
        }
        start = end;
    }
    return false;
}

// Chunkings of honest packages besides those of any stream: one package per receive, groups of
// them, a fixed grid, segments of 1448 bytes.
std::vector<Cuts> packageChunkings(const Honest &honest, std::uint32_t seed) {
    std::vector<Cuts> all = chunkings(honest.stream, seed);
    Cuts groups;
    for (std::size_t i = seed % 4; i < honest.ends.size(); i += 1 + seed % 5) {
        groups.push_back(honest.ends[i]);
    }
    groups.push_back(honest.stream.size());
    all.push_back(honest.ends);
    all.push_back(groups);
    all.push_back(grid(honest.stream.size(), 97));
    all.push_back(grid(honest.stream.size(), 1448));
    return all;
}

// Whole packages and packages cut short, built from the input: per piece a control byte (cut
// or whole, the command type, a stall after it), a length byte and the body's bytes, with EE
// bytes made ED so that no body holds a start marker. A cut package's head claims more than
// the bytes that follow it.
struct WithCuts {
    Honest whole;
    Cuts stalls;
    Cuts claimEnds;  // of the cut packages
};

WithCuts withCutPackages(const std::uint8_t *data, std::size_t size) {
    WithCuts out;
    std::string &stream = out.whole.stream;
    for (std::size_t at = 0; at + 2 <= size;) {
        const std::uint8_t control = data[at];
        const std::size_t want = data[at + 1];
        at += 2;
        std::string body;
        for (; at < size && body.size() < want; ++at) {
            body += static_cast<char>(data[at] == 0xEE ? 0xED : data[at]);
        }
        if (control % 3 == 0) {
            const std::int32_t claim = std::min<std::int32_t>(
                static_cast<std::int32_t>(body.size()) + 1 + control, SMALL_LARGEST);
            body.resize(std::min<std::size_t>(body.size(), static_cast<std::size_t>(claim) - 1));
            appendHead(stream, std::max(claim, Link::MIN_LENGTH_FIELD));
            out.claimEnds.push_back(stream.size() + std::max(claim, Link::MIN_LENGTH_FIELD));
            stream += body;
            continue;
        }
        appendPackage(out.whole, typeBytes(control % 87) + body, TRAILER);
        if (control >= 0x80) out.stalls.push_back(stream.size());
    }
    return out;
}

// The controller's trailer stands only at the ends of whole packages.
bool trailersOnlyAtEnds(const Honest &whole) {
    for (std::size_t at = whole.stream.find(TRAILER); at != NONE;
         at = whole.stream.find(TRAILER, at + 1)) {
        if (!std::binary_search(whole.ends.begin(), whole.ends.end(), at + TRAILER.size())) {
            return false;
        }
    }
    return true;
}

// A claim ending one to three bytes into a start marker: by its bytes as by its length, a
// package ending in the first bytes of a marker, which a controller's end marker may be.
bool aClaimEndsInsideAMarker(const WithCuts &cuts) {
    const std::string &stream = cuts.whole.stream;
    for (std::size_t end : cuts.claimEnds) {
        for (std::size_t inside = 1; inside < MARKER.size() && end - inside <= stream.size();
             ++inside) {
            if (stream.compare(end - inside, MARKER.size(), MARKER) == 0) return true;
        }
    }
    return false;
}

// Receives ending at the cuts, with the stalls among them.
Cuts withStalls(Cuts cuts, const Cuts &stalls) {
    cuts.insert(cuts.end(), stalls.begin(), stalls.end());
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    return cuts;
}

int g_listener = -1;
RecordingLink *g_link = nullptr;

int acceptWithin(int listener, int milliseconds) {
    pollfd entry{listener, POLLIN, 0};
    require(poll(&entry, 1, milliseconds) == 1);
    return accept(listener, nullptr, nullptr);
}

void writeAll(int fd, const std::string &bytes) {
    const char *data = bytes.data();
    for (std::size_t size = bytes.size(); size > 0;) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        require(n > 0);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// What the link hands on for the stream, written by a peer that then closes.
Packages overLoopback(const std::string &stream) {
    require(g_link->connectRobotServer() == 0);
    const int peer = acceptWithin(g_listener, 1000);
    require(peer >= 0);
    writeAll(peer, stream);
    close(peer);
    Packages got = g_link->waitForClose();
    g_link->disconnectRobotServer();
    return got;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The link logs every refused header; at fuzzing rates that is only noise and disk.
    getTraceLog();
    log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("yrlrobottrace"))
        .setLogLevel(log4cplus::OFF_LOG_LEVEL);

    g_listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    require(bind(g_listener, reinterpret_cast<sockaddr *>(&address), size) == 0);
    require(listen(g_listener, 4) == 0);
    require(getsockname(g_listener, reinterpret_cast<sockaddr *>(&address), &size) == 0);
    g_link = new RecordingLink;
    g_link->setServerIP("127.0.0.1");
    g_link->setServerPort(ntohs(address.sin_port));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    const std::string stream(reinterpret_cast<const char *>(data), size);
    std::uint32_t seed = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(size, 8); ++i) seed = seed * 131 + data[i];

    const Packages whole = readWhole(stream, SMALL_LARGEST, SMALL_CHUNK);
    require(framedInOrder(stream, whole));
    for (const Cuts &cuts : chunkings(stream, seed)) {
        require(readAlone(stream, cuts, SMALL_LARGEST, SMALL_CHUNK) == whole);
    }

    const Honest honest = honestPackages(data, size);
    const bool honestToo = !quotesAHeadEndingWithIt(honest);
    if (honestToo) {
        for (const Cuts &cuts : packageChunkings(honest, seed)) {
            require(readAlone(honest.stream, cuts, SMALL_LARGEST, SMALL_CHUNK) == honest.packages);
        }
    }

    // Whatever a controller's check fields and end markers hold, they end its packages.
    const Honest own = ownTrailers(data, size);
    if (markersOnlyAtStarts(own)) {
        for (const Cuts &cuts : packageChunkings(own, seed)) {
            require(readAlone(own.stream, cuts, SMALL_LARGEST, SMALL_CHUNK) == own.packages);
        }
    }

    const WithCuts cuts = withCutPackages(data, size);
    const bool cutsToo = trailersOnlyAtEnds(cuts.whole) && !aClaimEndsInsideAMarker(cuts);
    if (cutsToo) {
        for (const Cuts &chunking : chunkings(cuts.whole.stream, seed)) {
            require(readAlone(cuts.whole.stream, withStalls(chunking, cuts.stalls), SMALL_LARGEST,
                              SMALL_CHUNK, cuts.stalls) == cuts.whole.packages);
        }
    }

    // The link's own buffer takes packages up to a megabyte; its receives are the kernel's.
    if (honestToo && seed % 3 == 0) {
        require(overLoopback(honest.stream) == honest.packages);
    } else if (cutsToo && seed % 3 == 1) {
        require(overLoopback(cuts.whole.stream) == cuts.whole.packages);
    } else {
        const int chunk = Link::SIGNLE_PACKAGE_MESSAGE_LEN;
        require(overLoopback(stream) == readWhole(stream, Link::RECV_BUFFER_SIZE, chunk));
    }
    return 0;
}
