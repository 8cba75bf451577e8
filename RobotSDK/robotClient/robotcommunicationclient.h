#ifndef ROBOTCOMMUNICATIONCLIENT_H
#define ROBOTCOMMUNICATIONCLIENT_H

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "communicationmatetype.h"

class PackageReader;
enum class PackageCut;

// The TCP link of one controller connection: the socket, the package writer and the receive
// thread that hands every package read to responseProcess.
class RobotCommunicationClient {
public:
    static constexpr int RECV_BUFFER_SIZE = 1048576;
    static constexpr int SEND_BUFFER_SIZE = 1048320;
    static constexpr int SIGNLE_PACKAGE_MESSAGE_LEN = 2048;
    static constexpr int ROBOT_COMMAND_SOF_BYTE = 4;
    static constexpr int ROBOT_COMMAND_LEN_BYTE = 4;
    static constexpr int ROBOT_COMMAND_CRC_BYTE = 4;
    static constexpr int ROBOT_COMMAND_END_BYTE = 4;

    static const unsigned char ROBOT_COMMAND_SOF[ROBOT_COMMAND_SOF_BYTE];
    static const unsigned char ROBOT_COMMAND_CRC[ROBOT_COMMAND_CRC_BYTE];
    static const unsigned char ROBOT_COMMAND_END[ROBOT_COMMAND_END_BYTE];

    // Largest length field the writer sends: the whole package stays below the send buffer.
    static constexpr int MAX_SEND_LENGTH_FIELD = 1048311;
    // Command type, check field and end marker follow the length field even for an empty body.
    static constexpr int MIN_LENGTH_FIELD = 12;

    RobotCommunicationClient();
    // Not virtual: objects are destroyed through their own type.
    ~RobotCommunicationClient();

    RobotCommunicationClient(const RobotCommunicationClient &) = delete;
    RobotCommunicationClient &operator=(const RobotCommunicationClient &) = delete;

    // Called on the receive thread for every package: the command type followed by the body.
    // A derived class must call disconnectRobotServer in its own destructor, so that the
    // receive thread has ended before the derived part goes.
    virtual void responseProcess(int socketFd, const char *requestContentPtr,
                                 int requestContentLength) = 0;

    void setServerIP(const std::string &serverIP);
    void setServerPort(int port);

    // Both may be called from any thread, also at once: one connect wins, the others get
    // 10001. Connect is refused on the receive thread of the live link, but allowed in the
    // link-loss callback, whose old thread is joined later.
    int connectRobotServer();
    // Returns promptly whatever senders are doing: they are woken and fail. Joins every
    // receive thread but the caller's own.
    int disconnectRobotServer();
    bool getCurrentConnectStatus();
    // Counts every link that has ended (peer close, logout, destruction). It moves in the same
    // step as the status goes down, so a caller that took it before a request can tell whether
    // the link of that request has gone, whatever logins follow.
    unsigned long getLinkLossCount() const;

    // A package that goes out only in part ends the link (the receive thread then posts the
    // link-loss event): the rest of the stream would be misread after it.
    bool encodeAndSendCommunicationPackage(const CommunicationRequest &request);
    // Sends only when fd is the live link's socket.
    bool encodeAndSendCommunicationPackage(int fd, const CommunicationRequest &request);

protected:
    // Called once for every link that ends, after the count has moved, on the thread that ended
    // it (the receive thread before it posts the link-loss event, or the disconnecting caller),
    // outside the client's locks.
    virtual void linkLost() {}
    // The hook is called on the sending thread, with the package lock held, just before a
    // package's bytes go out, so packages go out in the order of its calls; it must not send.
    // Set and cleared under the same lock: a sender still inside during destruction sees it
    // set or gone, never half torn down.
    using WriteHook = void (*)(void *context);
    void setWriteHook(WriteHook hook, void *context);

    int connectCommunicationServer();
    void disconnectCommunicationServer();

    int recvMessageBaseMethed(int sockfd, void *buff, unsigned len, int flags);
    int recvPeek(int sockfd, void *buff, unsigned len);
    int recvCommunicationData(int sockfd, void *buff, unsigned len);
    int sendCommunicationData(int sockfd, const char *buff, int len);

    int recvRobotMessageHead(int socket);
    int recvRobotCommunicationPackage(int sockfd, char *recvBuffer, int bufferSize);

    bool makeDisconnectEventCommunicationPackage(char *buff, int bufferSize, int *buffValidSize);

    void recvCommunicationPackageLoop();
    static void *eventLoopThread(void *arg);

private:
    class LinkSocket;
    struct Link;
    using SocketPtr = std::shared_ptr<LinkSocket>;
    using LinkPtr = std::shared_ptr<Link>;

    void initClassProfile();
    int openConnectedSocket(const std::string &serverIP, int port);
    bool sendOnLink(int fd, const CommunicationRequest &request);
    bool sendOnSocket(const SocketPtr &socket, const CommunicationRequest &request);
    bool writePackageLocked(const LinkSocket &socket, const CommunicationRequest &request);
    int sendCounted(int sockfd, const char *buff, int len, int &sent);
    int readPackage(int sockfd, char *recvBuffer, int bufferSize, int &written);
    LinkPtr linkOfThisThread();
    void receiveLoop(Link &link);
    // Moves the live link to the ending ones and wakes everything blocked on its socket.
    void retireLinkLocked(bool stop);
    static bool runsOn(const Link &link, pthread_t thread);
    void joinFinishedLocked();
    void releaseJoinedLocked(const LinkPtr &link);
    bool joinRetired(std::unique_lock<std::mutex> &lock);
    void deliverPackages(Link &link, PackageReader &reader);
    void deliverCutPackages(Link &link, PackageReader &reader, PackageCut cause);
    void handlePeerClosed(Link &link);
    void postDisconnectEvent(int socketFd, Link &link);
    void discardUrgentData(int sockfd);

    pthread_t m_threadId;
    std::string m_serverIP;
    int m_serverport;
    std::atomic<int> m_socketFd;
    // Spare receive buffer: a link borrows it and hands it back once its thread is joined.
    std::unique_ptr<char[]> m_recvBuffer;
    std::unique_ptr<char[]> m_sendBuffer;
    std::atomic<bool> m_connectStatus;
    std::atomic<unsigned long> m_linkLossCount{0};
    // Serialises packages only; the link's life never waits for it.
    std::mutex m_sendRequestMutex;
    WriteHook m_writeHook = nullptr;
    void *m_writeHookContext = nullptr;

    // Guards the fields below; never held across a send, a receive or a join of a running
    // thread.
    std::mutex m_linkMutex;
    std::condition_variable m_linkChanged;
    LinkPtr m_link;
    // Links whose receive thread is ending or ended but not joined yet.
    std::vector<LinkPtr> m_retired;
    bool m_connecting = false;
    int m_sendersInside = 0;
    std::atomic<bool> m_connectCancelled{false};
};

#endif
