// Feeds arbitrary byte streams to the controller link's receive path. The package reader is
// driven alone in several chunkings (one receive, a byte per receive, receives that end on
// every start marker and end marker, pieces of a size the input picks), each with a staging
// area small enough to be moved often, and what it hands out must be exactly the reading below
// for the same receives. Then a loopback connection carries the stream to the link, a peer
// writes it and closes: the link must never crash, hang or hand on a package out of bounds.
// There the kernel picks the receives, so its packages must be the reading for a single
// receive when no claim holds a whole package ending inside it (only then can the receives
// matter), else packages of the stream, in order, none overlapping.
//
// The reading: skip to the next start marker and read the length field. The package is
// refused, and the search goes on at the byte after its start marker, when its length lies
// outside [12, largest]; when a package whose head is staged starts inside its claim and ends
// where the claim ends; when the bytes of the latest receive that held only whole packages,
// one after another, lie inside the claim after its start; when its claim is staged whole and
// the last package starting inside it runs on past its end (its head, or the length its field
// gives); or when the stream ends inside it. Else that many bytes are
// command type, body and the two trailing fields.
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
#include <memory>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <log4cplus/logger.h>

#include "packagereader.h"
#include "robotcommunicationclient.h"
#include "robottracelog.h"

namespace {

using Link = RobotCommunicationClient;

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
    std::vector<std::string> waitForClose() {
        std::unique_lock<std::mutex> lock(m_mutex);
        require(m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_closed; }));
        std::vector<std::string> packages;
        packages.swap(m_packages);
        m_closed = false;
        return packages;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_packages;
    bool m_closed = false;
};

const std::size_t NONE = std::string::npos;
const std::string MARKER(reinterpret_cast<const char *>(Link::ROBOT_COMMAND_SOF),
                         Link::ROBOT_COMMAND_SOF_BYTE);
const std::string END_MARKER(reinterpret_cast<const char *>(Link::ROBOT_COMMAND_END),
                             Link::ROBOT_COMMAND_END_BYTE);
const std::size_t HEAD = 8;
const std::size_t TRAILER = Link::ROBOT_COMMAND_CRC_BYTE + Link::ROBOT_COMMAND_END_BYTE;

// The reading of one stream, as its receives end.
class Reading {
public:
    Reading(const std::string &stream, std::int32_t largest) : m_stream(stream) {
        // m_ends[i]: where the package whose start marker stands at i ends, or NONE.
        m_ends.assign(stream.size() + 1, NONE);
        m_nearestEnd.assign(stream.size() + 2, NONE);
        for (std::size_t i = stream.size(); i-- > 0;) {
            if (stream.size() - i >= HEAD && stream.compare(i, MARKER.size(), MARKER) == 0) {
                std::int32_t length = 0;
                std::memcpy(&length, stream.data() + i + MARKER.size(), sizeof(length));
                if (length >= Link::MIN_LENGTH_FIELD && length <= largest) {
                    m_ends[i] = i + HEAD + static_cast<std::size_t>(length);
                    m_startsByEnd[m_ends[i]].push_back(i);
                }
            }
            m_nearestEnd[i] = std::min(m_ends[i], m_nearestEnd[i + 1]);
        }
        for (auto &starts : m_startsByEnd) std::sort(starts.second.begin(), starts.second.end());
    }

    std::vector<std::string> packages(const std::vector<std::size_t> &receiveEnds) {
        std::size_t staged = 0;
        for (std::size_t end : receiveEnds) {
            if (wholePackages(staged, end)) {
                m_wholeStart = staged;
                m_wholeEnd = end;
            }
            staged = end;
            read(staged, false);
        }
        read(staged, true);
        return m_packages;
    }

    // Whether a claim read held a whole package ending before the claim's end.
    bool receivesMatter() const { return m_receivesMatter; }

private:
    bool wholePackages(std::size_t from, std::size_t to) const {
        while (from < to && m_ends[from] != NONE && m_ends[from] <= to) from = m_ends[from];
        return from == to;
    }

    // A package whose head is staged starts after `at` and ends at claimEnd.
    bool endsWithAPackage(std::size_t at, std::size_t claimEnd, std::size_t staged) const {
        const auto found = m_startsByEnd.find(claimEnd);
        if (found == m_startsByEnd.end()) return false;
        const auto after = std::upper_bound(found->second.begin(), found->second.end(), at);
        return after != found->second.end() && *after + HEAD <= staged;
    }

    // The last package starting from `from` on runs past `to`: a start marker whose head
    // crosses `to`, or else the last with a usable length whose head is before `to`.
    bool runsPast(std::size_t from, std::size_t to) const {
        for (std::size_t p = std::max(from, to - HEAD + 1); p + MARKER.size() <= to; ++p) {
            if (m_stream.compare(p, MARKER.size(), MARKER) == 0) return true;
        }
        for (std::size_t p = to - HEAD + 1; p-- > from;) {
            if (m_ends[p] != NONE) return m_ends[p] > to;
        }
        return false;
    }

    // Reads what is staged; closed: the stream has ended, and cuts the package it is inside.
    void read(std::size_t staged, bool closed) {
        for (;;) {
            const std::size_t at = m_stream.find(MARKER, m_search);
            if (at == NONE || at + HEAD > staged) return;
            m_search = at + MARKER.size();
            const std::size_t end = m_ends[at];
            if (end == NONE) continue;
            const std::size_t inner = m_nearestEnd[at + HEAD];
            m_receivesMatter = m_receivesMatter || (inner < end && inner <= staged);
            if (endsWithAPackage(at, end, staged)) continue;
            if (m_wholeStart != NONE && m_wholeStart > at && m_wholeEnd < end) continue;
            if (end > staged) {
                if (closed) continue;
                m_search = at;
                return;
            }
            if (runsPast(at + HEAD, end)) continue;
            m_packages.push_back(m_stream.substr(at + HEAD, end - at - HEAD - TRAILER));
            m_search = end;
        }
    }

    const std::string &m_stream;
    std::vector<std::size_t> m_ends;
    std::vector<std::size_t> m_nearestEnd;  // the least end of a package starting at i or later
    std::map<std::size_t, std::vector<std::size_t>> m_startsByEnd;
    std::size_t m_search = 0;
    std::size_t m_wholeStart = NONE;
    std::size_t m_wholeEnd = 0;
    bool m_receivesMatter = false;
    std::vector<std::string> m_packages;
};

// Packages of the stream, in order, none overlapping: each the earliest fit after the last.
bool framedInOrder(const std::string &stream, const std::vector<std::string> &packages) {
    std::size_t from = 0;
    for (const std::string &package : packages) {
        std::size_t at = stream.find(MARKER, from);
        for (; at != NONE; at = stream.find(MARKER, at + 1)) {
            std::int32_t length = 0;
            if (stream.size() - at < HEAD + package.size() + TRAILER) return false;
            std::memcpy(&length, stream.data() + at + MARKER.size(), sizeof(length));
            if (static_cast<std::size_t>(length) == package.size() + TRAILER &&
                stream.compare(at + HEAD, package.size(), package) == 0) {
                break;
            }
        }
        if (at == NONE) return false;
        from = at + HEAD + package.size() + TRAILER;
    }
    return true;
}

// The reader alone, small enough that its staged bytes move; piece: where each receive may
// end at most. Returns what it handed out and where the receives ended.
const int SMALL_LARGEST = 1024;
const int SMALL_CHUNK = 256;

std::vector<std::string> readAlone(const std::string &stream, const std::vector<std::size_t> &cuts,
                                   std::vector<std::size_t> &receiveEnds) {
    const int capacity = PackageReader::stagingSize(SMALL_LARGEST, SMALL_CHUNK);
    std::vector<char> staging(static_cast<std::size_t>(capacity));
    PackageReader reader(staging.data(), capacity, SMALL_LARGEST);
    std::vector<std::string> packages;
    auto deliver = [&] {
        const char *package = nullptr;
        int length = 0;
        while (reader.nextPackage(package, length)) {
            require(length >= Link::MIN_LENGTH_FIELD && length <= SMALL_LARGEST);
            require(package >= staging.data() && package + length <= staging.data() + capacity);
            packages.emplace_back(package, static_cast<std::size_t>(length) - TRAILER);
        }
    };
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        while (at < cut) {
            int room = 0;
            char *space = reader.freeSpace(SMALL_CHUNK, room);
            require(room > 0);
            const std::size_t n = std::min(static_cast<std::size_t>(room), cut - at);
            std::memcpy(space, stream.data() + at, n);
            reader.received(static_cast<int>(n));
            at += n;
            receiveEnds.push_back(at);
            deliver();
        }
    }
    while (reader.holdsPartial()) {
        reader.refuseCutPackage(PackageCut::Close);
        deliver();
    }
    return packages;
}

// Where receives end in each chunking of the stream.
std::vector<std::vector<std::size_t>> chunkings(const std::string &stream) {
    std::vector<std::vector<std::size_t>> all(4);
    const std::size_t piece = stream.empty() ? 1 : static_cast<std::uint8_t>(stream[0]) % 61 + 1;
    for (std::size_t at = 1; at <= stream.size(); ++at) {
        all[1].push_back(at);
        if (at % piece == 0 || at == stream.size()) all[3].push_back(at);
        const bool beforeMarker = stream.compare(at, MARKER.size(), MARKER) == 0;
        const bool afterEndMarker =
            at >= END_MARKER.size() && stream.compare(at - 4, 4, END_MARKER) == 0;
        if (beforeMarker || afterEndMarker || at == stream.size()) all[2].push_back(at);
    }
    all[0].push_back(stream.size());
    return all;
}

int g_listener = -1;
int g_port = 0;
RecordingLink *g_link = nullptr;

int acceptWithin(int listener, int milliseconds) {
    pollfd entry{listener, POLLIN, 0};
    require(poll(&entry, 1, milliseconds) == 1);
    return accept(listener, nullptr, nullptr);
}

void writeAll(int fd, const std::uint8_t *data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        require(n > 0);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
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
    g_port = ntohs(address.sin_port);
    g_link = new RecordingLink;
    g_link->setServerIP("127.0.0.1");
    g_link->setServerPort(g_port);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    const std::string stream(reinterpret_cast<const char *>(data), size);
    for (const std::vector<std::size_t> &cuts : chunkings(stream)) {
        std::vector<std::size_t> receiveEnds;
        const std::vector<std::string> got = readAlone(stream, cuts, receiveEnds);
        require(got == Reading(stream, SMALL_LARGEST).packages(receiveEnds));
    }

    require(g_link->connectRobotServer() == 0);
    const int peer = acceptWithin(g_listener, 1000);
    require(peer >= 0);
    writeAll(peer, data, size);
    close(peer);
    const std::vector<std::string> got = g_link->waitForClose();
    g_link->disconnectRobotServer();
    Reading once(stream, Link::RECV_BUFFER_SIZE);
    const std::vector<std::string> expected = once.packages({size});
    require(once.receivesMatter() ? framedInOrder(stream, got) : got == expected);
    return 0;
}
