// The daemon runs as a child process (posix_spawnp, argv only), its output in <dir>/pulseaudio.log.

#include "tests/support/PrivateSoundServer.h"

#include "tests/support/PulseServer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr auto kStopLimit = std::chrono::seconds(5);

bool Ended(pid_t pid)
{
    int status = 0;
    pid_t got;
    while ((got = waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    return got == pid || got < 0;
}

bool HasPrefix(const char* entry, const char* name)
{
    return std::strncmp(entry, name, std::strlen(name)) == 0;
}

// The caller's environment without the user's session, display and sound settings.
std::vector<std::string> DaemonEnvironment(const std::string& dir)
{
    static const char* const kDropped[] = {"DISPLAY=", "DBUS_SESSION_BUS_ADDRESS=", "XDG_CONFIG_HOME=",
                                           "XDG_STATE_HOME=", "PULSE_SERVER=", "PULSE_RUNTIME_PATH=",
                                           "HOME=", "XDG_RUNTIME_DIR="};
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        bool drop = false;
        for (const char* name : kDropped)
            drop = drop || HasPrefix(*entry, name);
        if (!drop)
            env.emplace_back(*entry);
    }
    env.push_back("HOME=" + dir + "/home");
    env.push_back("XDG_RUNTIME_DIR=" + dir);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

PrivateSoundServer::PrivateSoundServer(bool withSink)
{
    char dir[] = "/tmp/sonovert-pa.XXXXXX"; // short: a socket path must stay under 108 bytes
    if (!mkdtemp(dir))
        return;
    dir_ = dir;
    mkdir((dir_ + "/home").c_str(), 0700);
    const std::string socket = dir_ + "/native";
    const std::string log = dir_ + "/pulseaudio.log";

    std::vector<std::string> argv{"pulseaudio",
                                  "-n",
                                  "--daemonize=no",
                                  "--exit-idle-time=-1",
                                  "--disable-shm=yes",
                                  "--realtime=no",
                                  "--high-priority=no",
                                  "--log-target=stderr",
                                  "-L",
                                  "module-native-protocol-unix auth-anonymous=1 socket=" + socket};
    if (withSink) {
        argv.push_back("-L");
        argv.push_back("module-null-sink sink_name=sv_private sink_properties=device.description=Private");
    }
    std::vector<std::string> env = DaemonEnvironment(dir_);
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> envp = Pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return;
    pid_ = pid;

    server_ = "unix:" + socket;
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    // The socket file first, so that pactl is not asked (and does not complain) too early.
    while (access(socket.c_str(), F_OK) != 0 || !Pactl({"--server=" + server_, "info"})) {
        if (Ended(pid_) || std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "PrivateSoundServer: pulseaudio did not come up (log: %s)\n", log.c_str());
            Stop(SIGKILL);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

PrivateSoundServer::~PrivateSoundServer()
{
    Stop(SIGTERM);
    if (!dir_.empty()) {
        std::error_code ignored; // the daemon leaves state of its own under the directory
        std::filesystem::remove_all(dir_, ignored);
    }
}

bool PrivateSoundServer::Stop(int signal)
{
    if (pid_ <= 0)
        return false;
    kill(pid_, signal);
    const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
    while (!Ended(pid_)) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return true;
}

SoundServerScope::SoundServerScope(const PrivateSoundServer& server)
{
    if (const char* old = getenv("PULSE_SERVER")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    setenv("PULSE_SERVER", server.ServerString().c_str(), 1);
}

SoundServerScope::~SoundServerScope()
{
    if (hadPrevious_)
        setenv("PULSE_SERVER", previous_.c_str(), 1);
    else
        unsetenv("PULSE_SERVER");
}
