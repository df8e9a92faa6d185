#include "program_fixture.h"

#include <X11/Xlib.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "app/run_log.h"
#include "engine/publication_journal.h"
#include "support/gbk.h"

namespace clipmill::testing {

namespace fs = std::filesystem;

namespace {

std::string jsonEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

int countIn(const fs::path& file, const std::string& needle) {
    std::ifstream in(file);
    int count = 0;
    for (std::string line; std::getline(in, line);)
        if (line.find(needle) != std::string::npos) ++count;
    return count;
}

ProgramOutput::ProgramOutput(ChildProcess& program)
    : program_(program), reader_([this] {
          while (!stop_ && !program_.outputEnded()) {
              std::string line = program_.readLine(100);
              if (line.empty()) continue;
              std::lock_guard lock(mutex_);
              lines_.push_back(std::move(line));
          }
      }) {}

ProgramOutput::~ProgramOutput() {
    stop_ = true;
    reader_.join();
}

int ProgramOutput::count(const std::string& text) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(
        std::count_if(lines_.begin(), lines_.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

::testing::AssertionResult ProgramOutput::waitFor(const std::string& text, int occurrences,
                                                  std::chrono::milliseconds timeout) const {
    auto result = pollUntil([&] { return count(text) >= occurrences; }, timeout);
    if (result) return result;
    std::lock_guard lock(mutex_);
    result << "; waiting for " << occurrences << " lines with \"" << text << "\" among what the program wrote:";
    for (const auto& line : lines_) result << "\n  " << line;
    return result;
}

void ProgramTest::SetUp() {
    programDir = dir.path() / "Clip mill \"demo\" folder";
    fs::create_directories(programDir / "data" / "list");
    fs::copy_file(CLIPMILL_PROGRAM, programDir / "clipmill");
    recordFile = dir.path() / "received.jsonl";
    site = std::make_unique<PracticeSite>(recordFile.string());
    std::ofstream(programDir / "data" / "endpoints.ini", std::ios::binary)
        << "[site]\r\nupload=" << site->url("/video/upload.html") << "\r\nlogin=" << site->url("/login")
        << "\r\nidentity=" << site->url("/x/web-interface/nav") << "\r\narchives=" << site->url("/x/web/archives?pn=1&ps=20")
        << "\r\n";
    display = std::make_unique<VirtualDisplay>(1600, 1000);
}

void ProgramTest::TearDown() {
    output.reset();
    program.reset();
    killProcessesMentioning(programDir.string());
    display.reset();
    site.reset();
}

fs::path ProgramTest::materialFolder(const std::string& id) const { return programDir / ("素材" + id); }

void ProgramTest::addAccount(const std::string& id, int videos) {
    const fs::path folder = materialFolder(id);
    fs::create_directories(folder);
    for (int n = 1; n <= videos; ++n)
        std::ofstream(folder / ("视频" + id + "_" + std::to_string(n) + ".mp4"), std::ios::binary)
            << std::string(100000 + n, 'v');
    std::ofstream(programDir / "data" / "list" / (id + ".json"), std::ios::binary)
        << R"({"昵称":"自动获取","素材目录":")" << jsonEscaped(folder.string()) << R"(","缓存id":")" << id
        << R"(","分类1":0,"分类2":0,"标签":"","简介":""})";
}

void ProgramTest::writeSettings(const std::vector<std::pair<std::string, std::string>>& textFields) {
    std::string text = "[编辑框]\r\n";
    for (const auto& [field, value] : textFields) text += field + "=" + value + "\r\n";
    std::ofstream(programDir / "data" / "setsoft.ini", std::ios::binary) << utf8ToGbk(text);
}

std::map<std::string, std::string> ProgramTest::programEnvironment() {
    const std::filesystem::path home = dir.path() / "home";
    fs::create_directories(home / "Documents");
    if (disclaimerAccepted && !fs::exists(home / "Documents" / "qmxr.dll"))
        dir.write("home/Documents/qmxr.dll", "agreed");
    return {{"HOME", home.string()}};
}

void ProgramTest::startProgram() {
    output.reset();
    program = std::make_unique<ChildProcess>(std::vector<std::string>{(programDir / "clipmill").string()},
                                             programEnvironment(), ChildProcess::Streams::OutputAndError);
    output = std::make_unique<ProgramOutput>(*program);
}

std::unique_ptr<ChildProcess> ProgramTest::startAnotherCopy(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{(programDir / "clipmill").string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return std::make_unique<ChildProcess>(argv, programEnvironment());
}

::testing::AssertionResult ProgramTest::waitForLine(const std::string& text, int occurrences,
                                                    std::chrono::milliseconds timeout) {
    return output->waitFor(text, occurrences, timeout);
}

::testing::AssertionResult ProgramTest::waitForAccountList(int accounts) {
    return waitForLine("account list loaded: " + std::to_string(accounts) + " accounts");
}

::testing::AssertionResult ProgramTest::startRun() {
    const int before = output->count("run started");
    pressHotKey();
    return waitForLine("run started", before + 1);
}

::testing::AssertionResult ProgramTest::stopRun() {
    const int before = output->count("run ended");
    pressHotKey();
    return waitForLine("run ended", before + 1);
}

int ProgramTest::passesSoFar() const { return output->count("run pass ended"); }

::testing::AssertionResult ProgramTest::waitForPasses(int before, int passes) {
    return waitForLine("run pass ended", before + passes, std::chrono::seconds(60));
}

std::string ProgramTest::xdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string out = runAndRead(argv, 5000);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

std::string ProgramTest::waitForWindow(const std::string& name, int timeoutMs) {
    std::string found;
    pollUntil([&] { return !(found = xdotool({"search", "--onlyvisible", "--name", "^" + name})).empty(); },
              std::chrono::milliseconds(timeoutMs), std::chrono::milliseconds(50));
    return found.substr(0, found.find('\n'));
}

void ProgramTest::clickInWindow(const std::string& window, int x, int y) {
    xdotool({"mousemove", "--window", window, std::to_string(x), std::to_string(y), "click", "1"});
}

void ProgramTest::pressHotKey() { xdotool({"key", "ctrl+alt+k"}); }

void ProgramTest::closeFromTitleBar(const std::string& window) {
    Display* x = XOpenDisplay(display->name().c_str());
    ASSERT_NE(x, nullptr);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = std::stoul(window);
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(x, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(x);
}

int ProgramTest::waitForExit(int timeoutMs) { return program->wait(timeoutMs); }

void ProgramTest::killProgram() {
    ::kill(program->pid(), SIGKILL);
    program->wait(5000);
    output.reset();
    program.reset();
}

void ProgramTest::killBrowsers() { killProcessesMentioning((programDir / "huancun").string()); }

std::vector<std::string> ProgramTest::journalEvents() const {
    std::vector<std::string> events;
    for (const auto& entry : PublicationJournal(programDir / "data" / "发布记录.jsonl").read())
        events.push_back(entry.reason.empty() ? entry.event : entry.event + " " + entry.reason);
    return events;
}

std::string ProgramTest::readLog() const {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return gbkToUtf8(readFile(programDir / "data" / fs::u8path(RunLog::fileName(local))));
}

std::string ProgramTest::settingsText() const { return gbkToUtf8(readFile(programDir / "data" / "setsoft.ini")); }

}  // namespace clipmill::testing
