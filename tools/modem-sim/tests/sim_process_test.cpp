// Drives the real modem-sim program through its pseudo-terminal, as the
// serial layer and the Wine tests do.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace {

// Reads until the text ends with `until` or the line drops; the timeout is a safety net only.
std::string read_until(int fd, const std::string& until) {
    std::string got;
    pollfd p{fd, POLLIN, 0};
    char buffer[512];
    for (ssize_t n = 1; n > 0 && (got.size() < until.size() ||
                                  got.compare(got.size() - until.size(), until.size(), until));)
        if ((n = poll(&p, 1, 10000) > 0 ? read(fd, buffer, sizeof buffer) : 0) > 0)
            got.append(buffer, static_cast<size_t>(n));
    return got;
}

std::string ask(int fd, const std::string& command, const std::string& until = "OK\r\n") {
    EXPECT_EQ(write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    return read_until(fd, until);
}

class SimProcessTest : public ::testing::Test {
  protected:
    void TearDown() override {
        stop();
        EXPECT_EQ(system(("rm -rf " + dir_).c_str()), 0);
    }

    // Starts modem-sim on `scenario`, waits for its "ready" line, opens the port.
    int start(const std::string& scenario) {
        std::ofstream(dir_ + "scenario.cfg") << scenario;
        std::string args =
            " --link com1 --config scenario.cfg --log log --reply-log sent --state state";
        sim_ = popen(("cd " + dir_ + "; echo $$; exec " MODEM_SIM_PATH + args).c_str(), "r");
        std::string out = sim_ ? read_until(fileno(sim_), "\n") : "";
        if (out.find('\n') + 1 == out.size()) // the pid, then the ready line
            out += read_until(fileno(sim_), "\n");
        pid_ = atoi(out.c_str());
        return pid_ > 0 && out.find("\nready /dev/pts/") != std::string::npos ? open_port() : -1;
    }

    // The simulator keeps the line raw, so the client leaves its settings alone.
    int open_port() { return fds_.emplace_back(open(link().c_str(), O_RDWR | O_NOCTTY)); }

    int stop() { // the exit status after SIGTERM
        for (int fd : std::exchange(fds_, {}))
            close(fd);
        if (pid_ > 0)
            kill(std::exchange(pid_, -1), SIGTERM);
        return sim_ ? pclose(std::exchange(sim_, nullptr)) : -1;
    }

    std::string link() const { return dir_ + "com1"; }
    std::string pattern_ = ::testing::TempDir() + "modem-sim-XXXXXX";
    std::string dir_ = std::string(mkdtemp(&pattern_[0]) ? pattern_ : "/nonexistent") + "/";
    FILE* sim_ = nullptr;
    pid_t pid_ = -1;
    std::vector<int> fds_;
};

} // namespace

TEST_F(SimProcessTest, EchoFollowsAtEAndAtzAndTheMemorySurvivesARestart) {
    int fd = start("echo = 0\ncountry = 09\nreply.burst = \\x41{200}\n");
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, "ATE1\r"), "\r\nOK\r\n");
    EXPECT_EQ(ask(fd, "AT*ncB5\r"), "AT*ncB5\r\r\nOK\r\n");
    EXPECT_EQ(ask(fd, "BURST\r", std::string(200, 'A')), std::string(200, 'A'));
    EXPECT_EQ(ask(fd, "ATi9ccB5#\r"), "ATi9ccB5#\r\r\nOK\r\n"); // nothing else came with the burst
    EXPECT_EQ(ask(fd, "ATz\r"), "ATz\r\r\nOK\r\n");
    EXPECT_EQ(ask(fd, "AT+GCI=?\r", "ERROR\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(stop(), 0);
    EXPECT_NE(access(link().c_str(), F_OK), 0) << "link left behind";
    fd = start("echo = 0\ncountry = 09\n");
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, "ATi5i9\r"), "\r\nB5\r\n\r\nCCB5\r\n\r\nOK\r\n");
}

TEST_F(SimProcessTest, WakeUpRefusedOnceAndLoggedAndAHangUpDropsOnlyThatClient) {
    int fd = start("fault.v1 = error x1\nfault.i5 = hangup x1\n");
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, "\rATV1\r", "ERROR\r\n"), "\rATV1\r\r\nERROR\r\n");
    EXPECT_EQ(ask(fd, "\rATV1\r"), "\rATV1\r\r\nOK\r\n");
    // A write is stamped once it has returned, so the client may read an
    // answer before its stamp is in the file. The simulator does one thing at
    // a time: once the next command is answered, the stamps before it are in.
    EXPECT_EQ(ask(fd, "AT\r"), "AT\r\r\nOK\r\n");
    std::stringstream log;
    log << std::ifstream(dir_ + "log").rdbuf();
    std::regex stamp(R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6} "\\rATV1\\r"\n){2}\S+ "AT\\r"\n)");
    EXPECT_TRUE(std::regex_match(log.str(), stamp)) << log.str();
    // Each write is logged on its own, the echo before the answer.
    std::stringstream sent;
    sent << std::ifstream(dir_ + "sent").rdbuf();
    std::regex writes(R"((\S+ "\\rATV1\\r"\n\S+ "\\r\\nERROR\\r\\n"\n))"
                      R"((\S+ "\\rATV1\\r"\n\S+ "\\r\\nOK\\r\\n"\n))");
    EXPECT_TRUE(std::regex_search(sent.str(), writes, std::regex_constants::match_continuous))
        << sent.str();

    for (int round = 0; round < 20; ++round) // clients open and close the port freely
        close(open(link().c_str(), O_RDWR | O_NOCTTY));
    EXPECT_EQ(ask(fd, "ATi5\r", "never"), "ATi5\r\r\n00\r\n");
    pollfd dropped{fd, POLLIN, 0};
    EXPECT_TRUE(poll(&dropped, 1, 0) == 1 && read(fd, &dropped, 1) <= 0) << "line still up";
    fd = open_port();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, "ATi5\r"), "ATi5\r\r\n00\r\n\r\nOK\r\n");
}

// The third identification unplugs the modem: the client that asked keeps
// its port, and nobody can open the link any more.
TEST_F(SimProcessTest, AnUnplugAtTheChosenOccurrenceRemovesOnlyTheLink) {
    int fd = start("fault.i3 = unplug skip:2 x1\n");
    ASSERT_GE(fd, 0);
    for (int round = 0; round < 3; ++round) {
        EXPECT_NE(ask(fd, "ATi3\r").find("\r\nOK\r\n"), std::string::npos);
        EXPECT_EQ(access(link().c_str(), F_OK) == 0, round < 2) << "round " << round;
    }
    EXPECT_EQ(ask(fd, "AT\r"), "AT\r\r\nOK\r\n");
    EXPECT_LT(open(link().c_str(), O_RDWR | O_NOCTTY), 0);
    EXPECT_EQ(errno, ENOENT);
}
