// Drives the real modem-sim program through its pseudo-terminal, as the
// serial layer and the Wine tests do.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace {

// Safety net only: every wait below ends as soon as the awaited bytes arrive.
constexpr int kTimeoutMs = 10000;

std::string make_temp_dir() {
    std::string pattern = ::testing::TempDir() + "modem-sim-XXXXXX";
    char* dir = mkdtemp(&pattern[0]);
    return dir ? std::string(dir) + "/" : "";
}

class SimProcess {
  public:
    SimProcess(const std::string& dir, const std::string& scenario) : dir_(dir) {
        std::ofstream(dir_ + "scenario.cfg") << scenario;
    }
    ~SimProcess() { stop(); }

    std::string link() const { return dir_ + "com1"; }
    std::string log_path() const { return dir_ + "commands.log"; }

    // Starts the program and waits for its "ready" line.
    bool start() {
        int out[2];
        if (pipe(out) != 0)
            return false;
        std::string sim = MODEM_SIM_PATH, config = dir_ + "scenario.cfg", state = dir_ + "state";
        std::string linkp = link(), logp = log_path();
        const char* argv[] = {sim.c_str(),    "--link", linkp.c_str(), "--config",
                              config.c_str(), "--log",  logp.c_str(),  "--state",
                              state.c_str(),  nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        int rc =
            posix_spawn(&pid_, sim.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        std::string line;
        char c = 0;
        pollfd fd{out[0], POLLIN, 0};
        while (rc == 0 && poll(&fd, 1, kTimeoutMs) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(out[0]);
        return rc == 0 && line.rfind("ready /dev/pts/", 0) == 0;
    }

    // Gives the exit status after SIGTERM.
    int stop() {
        if (pid_ <= 0)
            return -1;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

  private:
    std::string dir_;
    pid_t pid_ = -1;
};

int open_port(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// Reads until the text ends with `until`, the line drops, or the safety net.
std::string read_until(int fd, const std::string& until, bool* dropped = nullptr) {
    std::string got;
    pollfd p{fd, POLLIN, 0};
    while (got.size() < until.size() ||
           got.compare(got.size() - until.size(), until.size(), until)) {
        char buffer[512];
        if (poll(&p, 1, kTimeoutMs) <= 0)
            break;
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (dropped)
                *dropped = true;
            break;
        }
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

std::string ask(int fd, const std::string& command, const std::string& until = "OK\r\n") {
    EXPECT_EQ(write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    return read_until(fd, until);
}

class SimProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = make_temp_dir();
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override {
        std::string command = "rm -rf '" + dir_ + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    std::string dir_;
};

} // namespace

TEST_F(SimProcessTest, EchoFollowsTheScenarioAndAtE) {
    SimProcess sim(dir_, "echo = 0\ncountry = 09\n");
    ASSERT_TRUE(sim.start());
    int fd = open_port(sim.link());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, "ATi5\r"), "\r\n09\r\n\r\nOK\r\n");
    EXPECT_EQ(ask(fd, "ATE1\r"), "\r\nOK\r\n");
    EXPECT_EQ(ask(fd, "ATi5\r"), "ATi5\r\r\n09\r\n\r\nOK\r\n");
    EXPECT_EQ(ask(fd, "ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(ask(fd, "AT+GCI=?\r", "ERROR\r\n"), "\r\nERROR\r\n");
    close(fd);
}

TEST_F(SimProcessTest, WakeUpRefusedOnceThenAnsweredAndLogged) {
    SimProcess sim(dir_, "fault.v1 = error x1\n");
    ASSERT_TRUE(sim.start());
    int fd = open_port(sim.link());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, "\rATV1\r", "ERROR\r\n"), "\rATV1\r\r\nERROR\r\n");
    EXPECT_EQ(ask(fd, "\rATV1\r"), "\rATV1\r\r\nOK\r\n");
    EXPECT_EQ(ask(fd, "\rATV1\r"), "\rATV1\r\r\nOK\r\n");
    close(fd);

    std::ifstream log(sim.log_path());
    std::regex format(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6} "\\rATV1\\r")");
    std::string line;
    int lines = 0;
    while (std::getline(log, line)) {
        EXPECT_TRUE(std::regex_match(line, format)) << line;
        ++lines;
    }
    EXPECT_EQ(lines, 3);
}

TEST_F(SimProcessTest, CountryAndNoteSurviveResetAndRestart) {
    {
        SimProcess sim(dir_, "echo = 0\n");
        ASSERT_TRUE(sim.start());
        int fd = open_port(sim.link());
        ASSERT_GE(fd, 0);
        EXPECT_EQ(ask(fd, "AT*ncB5\r"), "\r\nOK\r\n");
        EXPECT_EQ(ask(fd, "ATi9ccB5#\r"), "\r\nOK\r\n");
        EXPECT_EQ(ask(fd, "ATz\r"), "\r\nOK\r\n");
        EXPECT_EQ(ask(fd, "ATi5\r"), "\r\nB5\r\n\r\nOK\r\n");
        close(fd);
        EXPECT_EQ(sim.stop(), 0);
        EXPECT_NE(access(sim.link().c_str(), F_OK), 0) << "link left behind";
    }
    SimProcess again(dir_, "echo = 0\n");
    ASSERT_TRUE(again.start());
    int fd = open_port(again.link());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, "ATi5\r"), "\r\nB5\r\n\r\nOK\r\n");
    EXPECT_EQ(ask(fd, "ATi9\r"), "\r\nCCB5\r\n\r\nOK\r\n");
    close(fd);
}

TEST_F(SimProcessTest, CannedBurstArrivesWholeAndAlone) {
    SimProcess sim(dir_, "echo = 0\nreply.burst = \\x41{200}\n");
    ASSERT_TRUE(sim.start());
    int fd = open_port(sim.link());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, "BURST\r", std::string(200, 'A')), std::string(200, 'A'));
    EXPECT_EQ(ask(fd, "AT\r"), "\r\nOK\r\n"); // nothing else came with the burst
    close(fd);
}

TEST_F(SimProcessTest, HangUpDropsTheClientAndTheNextOpenWorks) {
    SimProcess sim(dir_, "echo = 0\nfault.i5 = hangup x1\n");
    ASSERT_TRUE(sim.start());
    for (int round = 0; round < 20; ++round) { // clients open and close the port freely
        int fd = open_port(sim.link());
        ASSERT_GE(fd, 0);
        close(fd);
    }
    int fd = open_port(sim.link());
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "ATi5\r", 5), 5);
    bool dropped = false;
    EXPECT_EQ(read_until(fd, "never", &dropped), "\r\n00\r\n");
    EXPECT_TRUE(dropped);
    close(fd);

    fd = open_port(sim.link());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, "ATi5\r"), "\r\n00\r\n\r\nOK\r\n");
    close(fd);
}
