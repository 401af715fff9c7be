#include "platform/desktop/session/nsm_client.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/desktop/session/client_names.h"

namespace platform::desktop {
namespace {

const char* const Announcement = "/nsm/server/announce";
const char* const OpenRequest = "/nsm/client/open";
const char* const SaveRequest = "/nsm/client/save";
// The version of the protocol spoken, and the optional parts of it the program has:
// none (it neither switches sessions nor tells of unsaved changes).
constexpr int ApiMajor = 1;
constexpr int ApiMinor = 1;
const char* const Capabilities = ":";
// The protocol's error codes.
constexpr int ErrGeneral = -1;
constexpr int ErrNoSessionOpen = -6;
constexpr int ErrNotNow = -8;
constexpr int ErrCreateFailed = -10;

// A string argument. OSC aligns arguments to 4 bytes only, less than liblo's lo_arg
// union asks, so the text is taken from where the argument starts, not through a member.
const char* String(const lo_arg* argument) { return reinterpret_cast<const char*>(argument); }

std::string CurrentDirectory() {
    char path[4096];
    return getcwd(path, sizeof path) ? path : "the directory it was started in";
}

// Makes the directory when it is not there and enters it; the reason when it cannot.
std::string EnterDirectory(const std::string& directory) {
    if (mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST) return std::strerror(errno);
    if (chdir(directory.c_str()) != 0) return std::strerror(errno);
    return {};
}

}  // namespace

std::unique_ptr<NsmClient> NsmClient::Announce(const char* url, const std::string& executable) {
    lo_address manager = lo_address_new_from_url(url);
    if (!manager) {
        std::fprintf(stderr, "Kelvarin: NSM_URL \"%s\" is no OSC address; going on without a session\n", url);
        return nullptr;
    }
    lo_server server = lo_server_new_with_proto(nullptr, lo_address_get_protocol(manager), nullptr);
    if (!server) {
        lo_address_free(manager);
        std::fprintf(stderr, "Kelvarin: no socket for the session manager; going on without a session\n");
        return nullptr;
    }
    std::unique_ptr<NsmClient> client(new NsmClient(manager, server));
    lo_server_add_method(server, OpenRequest, "sss", &OnOpen, client.get());
    lo_server_add_method(server, SaveRequest, "", &OnSave, client.get());
    lo_server_add_method(server, "/error", "sis", &OnError, client.get());
    lo_send_from(manager, server, LO_TT_IMMEDIATE, Announcement, "sssiii", "Kelvarin", Capabilities,
                 executable.c_str(), ApiMajor, ApiMinor, static_cast<int>(getpid()));
    return client;
}

NsmClient::~NsmClient() {
    lo_server_free(server_);
    lo_address_free(manager_);
}

bool NsmClient::WaitForOpen(std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    while (state_ == State::Announced) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        lo_server_recv_noblock(server_, static_cast<int>(left.count()));
    }
    if (state_ == State::Announced) {
        std::fprintf(stderr, "Kelvarin: the session manager opened no session within %lld s; going on without one\n",
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(timeout).count()));
        state_ = State::WithoutSession;
    }
    return state_ == State::Opened;
}

void NsmClient::Receive() {
    while (lo_server_recv_noblock(server_, 0) > 0) {
    }
}

int NsmClient::OnOpen(const char*, const char*, lo_arg** argv, int, lo_message, void* self) {
    static_cast<NsmClient*>(self)->Open(String(argv[0]), String(argv[2]));
    return 0;
}

// The JACK clients are named once, before they open: an "open" that comes later, when
// the program already runs without the session, is refused.
void NsmClient::Open(const std::string& directory, const std::string& clientId) {
    if (state_ != State::Announced) {
        Fail(OpenRequest, ErrNotNow, "Kelvarin joins a session only as it starts");
        return;
    }
    state_ = State::Opened;
    NameClientsAfter(clientId);
    const std::string failure = EnterDirectory(directory);
    if (failure.empty()) {
        Reply(OpenRequest, "Kelvarin keeps Kelvarin.ini and midi.dat here");
        return;
    }
    const std::string kept = CurrentDirectory();
    std::fprintf(stderr, "Kelvarin: the session's directory %s cannot be used (%s); Kelvarin.ini and midi.dat stay in %s\n",
                 directory.c_str(), failure.c_str(), kept.c_str());
    Fail(OpenRequest, ErrCreateFailed, directory + ": " + failure + "; the files stay in " + kept);
}

int NsmClient::OnSave(const char*, const char*, lo_arg**, int, lo_message, void* self) {
    auto& client = *static_cast<NsmClient*>(self);
    if (client.state_ != State::Opened || !client.save_) {
        client.Fail(SaveRequest, ErrNoSessionOpen, "Kelvarin runs without the session");
    } else if (client.save_()) {
        client.Reply(SaveRequest, "saved");
    } else {
        const std::string where = CurrentDirectory();
        std::fprintf(stderr, "Kelvarin: the session's save could not write Kelvarin.ini in %s; the sliders are as they were\n",
                     where.c_str());
        client.Fail(SaveRequest, ErrGeneral, "Kelvarin.ini could not be written in " + where);
    }
    return 0;
}

// The manager refuses the announcement (its other errors answer nothing it was asked).
int NsmClient::OnError(const char*, const char*, lo_arg** argv, int, lo_message, void* self) {
    auto& client = *static_cast<NsmClient*>(self);
    if (std::strcmp(String(argv[0]), Announcement) == 0 && client.state_ == State::Announced) {
        std::fprintf(stderr, "Kelvarin: the session manager refused it (%s); going on without a session\n", String(argv[2]));
        client.state_ = State::Refused;
    }
    return 0;
}

void NsmClient::Reply(const char* request, const std::string& message) {
    lo_send_from(manager_, server_, LO_TT_IMMEDIATE, "/reply", "ss", request, message.c_str());
}

void NsmClient::Fail(const char* request, int code, const std::string& message) {
    lo_send_from(manager_, server_, LO_TT_IMMEDIATE, "/error", "sis", request, code, message.c_str());
}

}  // namespace platform::desktop
