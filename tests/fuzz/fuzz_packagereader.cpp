// Feeds arbitrary byte streams to the controller link's receive path over a loopback
// connection: a peer writes the input and closes. The link must never crash, hang or hand on
// a package out of bounds, and what it hands on must be exactly the packages a plain reading
// of the framing finds: skip to the next start marker and read the length field. The package
// is refused, and the search goes on at the byte after its start marker, when its length lies
// outside [12, receive buffer], when the stream ends inside it, when a start marker inside it
// begins a whole package (end marker FF FF FF FF) that ends inside it, or when its own end
// marker is not FF FF FF FF and a start marker stands inside it. Else that many bytes are
// command type, body and the two trailing fields. The peer's close then ends the stream with
// one link-loss event.
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
#include <mutex>
#include <string>
#include <vector>

#include <log4cplus/logger.h>

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

bool lengthFits(std::int32_t length) {
    return length >= Link::MIN_LENGTH_FIELD && length <= Link::RECV_BUFFER_SIZE;
}

std::vector<std::string> framedPackages(const std::string &stream) {
    const std::string marker(reinterpret_cast<const char *>(Link::ROBOT_COMMAND_SOF),
                             Link::ROBOT_COMMAND_SOF_BYTE);
    const std::string endMarker(reinterpret_cast<const char *>(Link::ROBOT_COMMAND_END),
                                Link::ROBOT_COMMAND_END_BYTE);
    const std::size_t trailer = Link::ROBOT_COMMAND_CRC_BYTE + Link::ROBOT_COMMAND_END_BYTE;
    const std::size_t none = std::string::npos;
    auto lengthAt = [&](std::size_t at) {
        std::int32_t length = 0;
        std::memcpy(&length, stream.data() + at + 4, sizeof(length));
        return length;
    };
    // nearestWholeEnd[i]: the least end of a whole package with its end marker that starts at
    // i or later.
    std::vector<std::size_t> nearestWholeEnd(stream.size() + 1, none);
    for (std::size_t i = stream.size(); i-- > 0;) {
        std::size_t end = none;
        if (stream.size() - i >= 8 && stream.compare(i, 4, marker) == 0 &&
            lengthFits(lengthAt(i))) {
            end = i + 8 + static_cast<std::size_t>(lengthAt(i));
            if (end > stream.size() || stream.compare(end - 4, 4, endMarker) != 0) end = none;
        }
        nearestWholeEnd[i] = std::min(end, nearestWholeEnd[i + 1]);
    }
    std::vector<std::string> packages;
    for (std::size_t at = 0;; at += marker.size()) {
        at = stream.find(marker, at);
        if (at == none || stream.size() - at < 8) {
            return packages;
        }
        const std::int32_t length = lengthAt(at);
        if (!lengthFits(length)) continue;
        const std::size_t end = at + 8 + static_cast<std::size_t>(length);
        if (nearestWholeEnd[at + 8] <= end || end > stream.size()) continue;
        if (stream.compare(end - 4, 4, endMarker) != 0 && stream.find(marker, at + 8) <= end - 4) {
            continue;
        }
        packages.push_back(stream.substr(at + 8, static_cast<std::size_t>(length) - trailer));
        at = end - marker.size();
    }
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
    require(g_link->connectRobotServer() == 0);
    const int peer = acceptWithin(g_listener, 1000);
    require(peer >= 0);
    writeAll(peer, data, size);
    close(peer);
    const std::vector<std::string> got = g_link->waitForClose();
    g_link->disconnectRobotServer();
    require(got == framedPackages(std::string(reinterpret_cast<const char *>(data), size)));
    return 0;
}
