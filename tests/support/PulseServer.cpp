// pactl runs as a child process (posix_spawnp, argv only) with its output read through a pipe.

#include "tests/support/PulseServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <regex>
#include <sstream>
#include <utility>

extern char** environ;

namespace {

constexpr auto kPactlTimeout = std::chrono::seconds(10);

// The caller's environment with pactl's messages in UTF-8 English, whatever the locale.
std::vector<std::string> ChildEnvironment()
{
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, "LC_ALL=", 7) != 0 && std::strncmp(*entry, "LANGUAGE=", 9) != 0)
            env.emplace_back(*entry);
    env.emplace_back("LC_ALL=C.UTF-8");
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

std::optional<std::string> Run(std::vector<std::string> argv)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<std::string> env = ChildEnvironment();
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> envp = Pointers(env);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return std::nullopt;
    }

    std::string output;
    bool timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() + kPactlTimeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd readable{pipeFds[0], POLLIN, 0};
        const int ready = poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue; // the deadline check above ends the loop
        char buffer[4096];
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        output.append(buffer, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
    if (timedOut)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

// module-null-sink reads its arguments with quoting of its own: the whole property list
// goes in single quotes and the description in double quotes inside it, with \ ' "
// escaped by a backslash.
std::string SinkProperties(const std::string& description)
{
    std::string escaped;
    for (char c : description) {
        if (c == '\\' || c == '\'' || c == '"')
            escaped += '\\';
        escaped += c;
    }
    return "sink_properties='device.description=\"" + escaped + "\"'";
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// "Description:" of the object whose "Name:" is `name` in `pactl list <kind>`.
std::optional<std::string> DescriptionFromServer(const char* kind, const std::string& name)
{
    const auto listing = Pactl({"list", kind});
    if (!listing)
        return std::nullopt;
    // "\tName: <name>" ... "\tDescription: <text as stored, blanks included>"
    bool inObject = false;
    for (const std::string& line : Lines(*listing)) {
        if (line.rfind("\tName: ", 0) == 0)
            inObject = line.substr(7) == name;
        else if (inObject && line.rfind("\tDescription: ", 0) == 0)
            return line.substr(14);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> Pactl(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{"pactl"};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv);
}

std::optional<uint32_t> LoadNullSink(const std::string& name, const std::string& description,
                                     const std::vector<std::string>& moduleArgs)
{
    std::vector<std::string> args{"load-module", "module-null-sink", "sink_name=" + name, SinkProperties(description)};
    args.insert(args.end(), moduleArgs.begin(), moduleArgs.end());
    const auto output = Pactl(args);
    if (!output)
        return std::nullopt;
    try {
        return static_cast<uint32_t>(std::stoul(*output));
    } catch (...) {
        return std::nullopt;
    }
}

bool UnloadModule(uint32_t module)
{
    return Pactl({"unload-module", std::to_string(module)}).has_value();
}

double SourceVolumeFromServer(const std::string& source)
{
    const auto output = Pactl({"get-source-volume", source});
    const double unreadable = std::numeric_limits<double>::quiet_NaN();
    if (!output)
        return unreadable;
    // "Volume: front-left: 32768 /  50% / -18.06 dB,   front-right: 32768 / ..."
    static const std::regex channel(R"(:\s+(\d+)\s+/)");
    double sum = 0;
    int channels = 0;
    const std::string firstLine = output->substr(0, output->find('\n'));
    for (std::sregex_iterator it(firstLine.begin(), firstLine.end(), channel), end; it != end; ++it) {
        sum += std::stod((*it)[1].str());
        ++channels;
    }
    return channels ? sum / channels / 65536.0 : unreadable;
}

std::optional<std::string> SinkDescriptionFromServer(const std::string& sink)
{
    return DescriptionFromServer("sinks", sink);
}

std::optional<std::string> SourceDescriptionFromServer(const std::string& source)
{
    return DescriptionFromServer("sources", source);
}

std::optional<ServerSampleFormat> SourceFormatFromServer(const std::string& source)
{
    // "<index>\t<name>\t<driver>\ts16le 2ch 44100Hz\t<state>"
    const auto listing = Pactl({"list", "short", "sources"});
    if (!listing)
        return std::nullopt;
    static const std::regex sampleFormat(R"(^(\S+) (\d+)ch (\d+)Hz$)");
    for (const std::string& line : Lines(*listing)) {
        std::vector<std::string> fields;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, '\t');)
            fields.push_back(field);
        std::smatch match;
        if (fields.size() >= 4 && fields[1] == source && std::regex_match(fields[3], match, sampleFormat))
            return ServerSampleFormat{match[1].str(), static_cast<uint32_t>(std::stoul(match[3].str())),
                                    static_cast<uint32_t>(std::stoul(match[2].str()))};
    }
    return std::nullopt;
}

ScopedNullSink::ScopedNullSink(std::string name, const std::string& description,
                               const std::vector<std::string>& moduleArgs)
    : name_(std::move(name)), module_(LoadNullSink(name_, description, moduleArgs))
{
}

ScopedNullSink::~ScopedNullSink()
{
    Unload();
}

bool ScopedNullSink::Unload()
{
    if (!module_)
        return false;
    const bool unloaded = UnloadModule(*module_);
    module_.reset();
    return unloaded;
}
