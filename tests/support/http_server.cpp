#include "http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>

namespace testsupport {

namespace {

std::mutex g_requestsMutex;

// Binds a socket to 127.0.0.1 on a port the system picks.
int BindLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

void SendAll(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

HttpServer::HttpServer(Mode mode, std::filesystem::path folder)
    : m_mode(mode), m_folder(std::move(folder)) {
    m_listen = BindLoopback(m_port);
    if (m_listen < 0)
        return;
    if (::listen(m_listen, 8) != 0 || ::pipe2(m_wake, O_CLOEXEC) != 0) {
        ::close(m_listen);
        m_listen = -1;
        return;
    }
    m_thread = std::thread([this] { Serve(); });
}

HttpServer::~HttpServer() {
    if (m_thread.joinable()) {
        const char stop = 'x';
        [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : m_silentClients)
        ::close(fd);
    for (int fd : {m_listen, m_wake[0], m_wake[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

std::string HttpServer::Site() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

std::vector<std::string> HttpServer::Requests() const {
    const std::lock_guard lock(g_requestsMutex);
    return m_requests;
}

int HttpServer::UnusedPort() {
    int port = 0;
    const int fd = BindLoopback(port);
    if (fd < 0)
        return 9;
    ::close(fd);
    return port;
}

void HttpServer::Serve() {
    while (true) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0)
                Answer(client);
        }
    }
}

void HttpServer::Answer(int client) {
    // The request head, read for at most two seconds.
    std::string head;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 &&
           std::chrono::steady_clock::now() < until) {
        pollfd fd{client, POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string requestLine = head.substr(0, head.find("\r\n"));
    {
        const std::lock_guard lock(g_requestsMutex);
        m_requests.push_back(requestLine);
    }
    if (m_mode == Mode::Silent) {
        m_silentClients.push_back(client);
        return;
    }
    std::istringstream words(requestLine);
    std::string verb, target;
    words >> verb >> target;
    std::string body;
    int status = 404;
    const std::filesystem::path relative = std::filesystem::path(target).relative_path();
    bool inside = !target.empty() && target[0] == '/';
    for (const auto& part : relative) {
        if (part == "..")
            inside = false;
    }
    if (verb == "GET" && inside) {
        std::ifstream in(m_folder / relative, std::ios::binary);
        if (in && std::filesystem::is_regular_file(m_folder / relative)) {
            std::ostringstream content;
            content << in.rdbuf();
            body = content.str();
            status = 200;
        }
    }
    if (status != 200)
        body = "<html><body>Not Found</body></html>\n";
    std::string answer =
        "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Not Found") +
        "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    SendAll(client, answer);
    ::close(client);
}

}  // namespace testsupport
