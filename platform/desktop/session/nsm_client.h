#pragma once
// The program in a session manager's session, over the NSM protocol (OSC messages, by
// liblo). It announces itself to the manager that NSM_URL names and waits a moment for
// the session's "open", which gives the directory its files are kept in, made and
// entered as the current directory, and the id its JACK clients are named after. The
// manager's "save" then saves the sliders, and its SIGTERM ends the program as "X"
// does. A manager that does not open a session in time leaves the program as it is
// without one.
#include <lo/lo.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace platform::desktop {

class NsmClient {
public:
    // Null, having said why on stderr, when url is no OSC address.
    static std::unique_ptr<NsmClient> Announce(const char* url, const std::string& executable);
    ~NsmClient();
    NsmClient(const NsmClient&) = delete;
    NsmClient& operator=(const NsmClient&) = delete;

    // Handles what the manager sends until it has opened the session, or refused the
    // program, or timeout has passed (said on stderr); true when the session is open.
    bool WaitForOpen(std::chrono::milliseconds timeout);
    // The socket the manager's messages come to, and the handling of those that have
    // come, without waiting.
    int Socket() const { return lo_server_get_socket_fd(server_); }
    void Receive();
    // How the manager's "save" is carried out: true when the sliders were saved.
    void SaveWith(std::function<bool()> save) { save_ = std::move(save); }

private:
    enum class State { Announced, Refused, Opened, WithoutSession };

    NsmClient(lo_address manager, lo_server server) : manager_(manager), server_(server) {}
    static int OnOpen(const char*, const char*, lo_arg** argv, int, lo_message, void* self);
    static int OnSave(const char*, const char*, lo_arg**, int, lo_message, void* self);
    static int OnError(const char*, const char*, lo_arg** argv, int, lo_message, void* self);
    void Open(const std::string& directory, const std::string& clientId);
    void Reply(const char* request, const std::string& message);
    void Fail(const char* request, int code, const std::string& message);

    lo_address manager_;
    lo_server server_;
    State state_ = State::Announced;
    std::function<bool()> save_;
};

}  // namespace platform::desktop
