// A small HTTP server on 127.0.0.1 for tests of the update check: it serves the files of a
// folder (404 for anything else), or accepts connections and never answers. It runs on a
// thread of its own from construction to destruction, on a port the system picks.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class HttpServer {
public:
    enum class Mode {
        Files,   // GET /PATH answers the file FOLDER/PATH with 200, else 404
        Silent,  // connections are accepted and read, and never answered
    };
    HttpServer(Mode mode, std::filesystem::path folder = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    bool Started() const { return m_listen >= 0; }
    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT"
    std::string Site() const;
    // The request lines received ("GET /updatelist/checkforupdate.txt HTTP/1.1"), in order.
    std::vector<std::string> Requests() const;

    // A port on 127.0.0.1 where nothing listens (bound, then closed again).
    static int UnusedPort();

private:
    void Serve();
    void Answer(int client);

    Mode m_mode;
    std::filesystem::path m_folder;
    int m_listen = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    std::vector<int> m_silentClients;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

}  // namespace testsupport
