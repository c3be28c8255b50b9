#pragma once
// A tiny HTTP server on 127.0.0.1 for one test: answers GETs from a table of paths, one
// connection at a time, on its own thread. Nothing here reaches beyond the loopback address.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace gw::testing {

class LocalServer {
public:
    struct Reply {
        int status = 200;
        std::string body;
        std::string location;   // sent with a 3xx status
        bool stall = false;     // read the request, then never answer
        bool sendLength = true; // false: the body ends where the connection closes
    };
    static Reply ok(std::string body, bool sendLength = true) {
        return {200, std::move(body), "", false, sendLength};
    }
    static Reply redirect(std::string location) { return {302, "", std::move(location)}; }
    static Reply stalled() { return {200, "", "", true}; }

    LocalServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 ||
            ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            ::pipe(stopPipe_) != 0)
            throw std::runtime_error("cannot start the local test server");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LocalServer() { stop(); }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    void route(const std::string& path, Reply reply) {
        std::lock_guard lock(mutex_);
        routes_[path] = std::move(reply);
    }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int requests() const { return requests_; }

    // Closes the port: later connections are refused.
    void stop() {
        if (!thread_.joinable()) return;
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(stopPipe_[1], &byte, 1);
        thread_.join();
        held_.insert(held_.end(), {listener_, stopPipe_[0], stopPipe_[1]});
        for (const int fd : held_)
            ::close(fd);
    }

private:
    void serve() {
        for (;;) {
            pollfd fds[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) return;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client >= 0) answer(client);
        }
    }

    void answer(int client) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd fd{client, POLLIN, 0};
            if (::poll(&fd, 1, 2000) <= 0) break;
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        ++requests_;
        const std::size_t start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        std::unique_lock lock(mutex_);
        const auto it = routes_.find(path);
        const Reply reply = it != routes_.end() ? it->second : Reply{404, "", ""};
        lock.unlock();
        if (reply.stall) {
            held_.push_back(client); // closed when the server stops
            return;
        }
        std::string head =
            "HTTP/1.1 " + std::to_string(reply.status) + " X\r\nConnection: close\r\n";
        if (reply.sendLength)
            head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
        if (!reply.location.empty()) head += "Location: " + reply.location + "\r\n";
        const std::string response = head + "\r\n" + reply.body;
        for (std::size_t sent = 0; sent < response.size();) {
            const ssize_t n =
                ::send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
        ::close(client);
    }

    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::map<std::string, Reply> routes_;
    std::atomic<int> requests_{0};
    std::vector<int> held_;
};

} // namespace gw::testing
