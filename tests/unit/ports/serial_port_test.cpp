#include "host/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <future>
#include <string>

#include "host/clock.h"
#include "host/device_directory.h"
#include "support/pty_peer.h"

namespace {

using test_support::PtyPeer;
using Behaviour = PtyPeer::Behaviour;

constexpr int kAtCom = 41;

int openAtStationSettings(int com, const char* deviceName = nullptr) {
  return OpenComConfig(com, deviceName, 115200, 0, 8, 1, 512, 512);
}

int openDescriptorCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

// The tty settings as the peer sees them (a pty's two sides share one termios).
termios settingsOf(const std::string& ttyPath) {
  termios tio{};
  const int fd = ::open(ttyPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(::tcgetattr(fd, &tio), 0);
  ::close(fd);
  return tio;
}

std::string readAll(int com, int max = 256) {
  std::string buffer(static_cast<size_t>(max), '\0');
  const int n = ComRd(com, buffer.data(), max);
  EXPECT_GE(n, 0) << host::comErrorText(n);
  buffer.resize(static_cast<size_t>(std::max(n, 0)));
  return buffer;
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::clearStop();
    host::installDeviceDirectory(&directory_);
  }
  void TearDown() override {
    for (int com : {kAtCom, kAtCom + 1}) CloseCom(com);
    host::installDeviceDirectory(nullptr);
    host::clearStop();
  }
  void announce(const PtyPeer& peer, int com = kAtCom) {
    directory_.addSerialPort("Test AT Port (COM" + std::to_string(com) + ")", peer.ttyPath());
  }

  host::ScriptedDeviceDirectory directory_;
};

TEST_F(SerialPortTest, OpensRawAt115200AndReconfiguresAnOpenPort) {
  PtyPeer peer(Behaviour::Silent);
  announce(peer);
  ASSERT_EQ(openAtStationSettings(kAtCom), 0);

  termios tio = settingsOf(peer.ttyPath());
  EXPECT_EQ(::cfgetospeed(&tio), B115200);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));
  EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO | ISIG)) << "a cooked tty would echo or edit replies";
  EXPECT_FALSE(tio.c_iflag & (ICRNL | IXON));
  EXPECT_FALSE(tio.c_oflag & OPOST);

  ASSERT_EQ(SetCTSMode(kAtCom, 1), 0);
  EXPECT_TRUE(settingsOf(peer.ttyPath()).c_cflag & CRTSCTS);
  ASSERT_EQ(SetCTSMode(kAtCom, 0), 0);
  EXPECT_FALSE(settingsOf(peer.ttyPath()).c_cflag & CRTSCTS);

  // A pty always keeps 8 data bits without parity; speed and stop bits show the new settings.
  ASSERT_EQ(OpenComConfig(kAtCom, nullptr, 9600, host::kParityEven, 7, 2, 512, 512), 0);
  tio = settingsOf(peer.ttyPath());
  EXPECT_EQ(::cfgetospeed(&tio), B9600);
  EXPECT_TRUE(tio.c_cflag & CSTOPB);
}

TEST_F(SerialPortTest, ExchangesWithPeersThatAnswerStayQuietOrEcho) {
  {
    PtyPeer peer(Behaviour::AnswerOk);
    announce(peer);
    ASSERT_EQ(openAtStationSettings(kAtCom), 0);
    ASSERT_EQ(FlushOutQ(kAtCom), 0);
    ASSERT_EQ(FlushInQ(kAtCom), 0);
    ASSERT_EQ(SetComTime(kAtCom, 1.0), 0);
    ASSERT_EQ(ComWrt(kAtCom, "AT+CFUN?\r", 9), 9);
    EXPECT_NE(readAll(kAtCom).find("OK"), std::string::npos);
    EXPECT_EQ(peer.received(), "AT+CFUN?\r");
    EXPECT_EQ(CloseCom(kAtCom), 0);
    directory_.clear();
  }
  {
    PtyPeer peer(Behaviour::Silent);
    announce(peer);
    ASSERT_EQ(openAtStationSettings(kAtCom), 0);
    ASSERT_EQ(SetComTime(kAtCom, 0.3), 0);
    ASSERT_EQ(ComWrt(kAtCom, "at+bootldr\r", 11), 11);
    EXPECT_EQ(readAll(kAtCom), "") << "a silent peer gives an empty read at the time-out";
    EXPECT_EQ(CloseCom(kAtCom), 0);
    directory_.clear();
  }
  {
    PtyPeer peer(Behaviour::Echo);
    announce(peer);
    ASSERT_EQ(openAtStationSettings(kAtCom), 0);
    ASSERT_EQ(SetComTime(kAtCom, 1.0), 0);
    ASSERT_EQ(ComWrt(kAtCom, "at+bootldr\r", 11), 11);
    EXPECT_EQ(readAll(kAtCom, 11), "at+bootldr\r");
  }
}

TEST_F(SerialPortTest, AFloodingPeerFillsEachReadAndFlushingDiscardsTheBacklog) {
  PtyPeer peer(Behaviour::Flood);
  announce(peer);
  ASSERT_EQ(openAtStationSettings(kAtCom), 0);
  ASSERT_EQ(SetComTime(kAtCom, 5.0), 0);
  for (int i = 0; i < 20; ++i) {
    char buffer[256];
    ASSERT_EQ(ComRd(kAtCom, buffer, sizeof buffer), 256);
    ASSERT_EQ(FlushInQ(kAtCom), 0);
  }
  peer.stopAnswering();
  ASSERT_EQ(FlushInQ(kAtCom), 0);
  ASSERT_EQ(SetComTime(kAtCom, 0.0), 0);
  EXPECT_EQ(readAll(kAtCom), "")
      << "nothing is left once the peer stopped and the queue was flushed";
}

TEST_F(SerialPortTest, ATtyThatVanishesWhileOpenGivesErrorsAndLeaksNothing) {
  const int descriptorsBefore = openDescriptorCount();
  {
    PtyPeer peer(Behaviour::Silent);
    announce(peer);
    ASSERT_EQ(openAtStationSettings(kAtCom), 0);
    ASSERT_EQ(SetComTime(kAtCom, 60.0), 0);
    auto reading = std::async(std::launch::async, [] {
      char buffer[256];
      return ComRd(kAtCom, buffer, sizeof buffer);
    });
    peer.hangUp();
    EXPECT_EQ(reading.get(), host::kComIoError);
    EXPECT_EQ(ComWrt(kAtCom, "AT\r", 3), host::kComIoError);
    EXPECT_EQ(FlushInQ(kAtCom), host::kComIoError);
    EXPECT_EQ(CloseCom(kAtCom), 0);
    EXPECT_EQ(ComRd(kAtCom, nullptr, 0), host::kComNotOpen);

    peer.vanish();
    EXPECT_EQ(openAtStationSettings(kAtCom, "/dev/pts/999999"), host::kComNoSuchPort)
        << "a tty path that does not exist";
    EXPECT_EQ(ComWrt(kAtCom, "AT\r", 3), host::kComNotOpen);
  }
  EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}

TEST_F(SerialPortTest, ReopeningAPortWhoseTtyVanishedOpensItsNewTty) {
  PtyPeer first(Behaviour::Silent);
  announce(first);
  ASSERT_EQ(openAtStationSettings(kAtCom), 0);
  first.vanish();
  EXPECT_EQ(FlushOutQ(kAtCom), host::kComIoError);

  directory_.clear();
  PtyPeer second(Behaviour::AnswerOk);
  announce(second);
  ASSERT_EQ(openAtStationSettings(kAtCom), 0) << "open on a gone port opens it afresh";
  ASSERT_EQ(SetComTime(kAtCom, 1.0), 0);
  ASSERT_EQ(ComWrt(kAtCom, "AT\r", 3), 3);
  EXPECT_NE(readAll(kAtCom).find("OK"), std::string::npos);
}

TEST_F(SerialPortTest, StopAndCloseEndAWaitingRead) {
  PtyPeer peer(Behaviour::Silent);
  announce(peer);
  ASSERT_EQ(openAtStationSettings(kAtCom), 0);
  ASSERT_EQ(SetComTime(kAtCom, 600.0), 0);

  auto stopped = std::async(std::launch::async, [] {
    char buffer[16];
    return ComRd(kAtCom, buffer, sizeof buffer);
  });
  host::requestStop();
  EXPECT_EQ(stopped.get(), 0);
  host::clearStop();

  auto closed = std::async(std::launch::async, [] {
    char buffer[16];
    return ComRd(kAtCom, buffer, sizeof buffer);
  });
  EXPECT_EQ(CloseCom(kAtCom), 0);
  const int result = closed.get();
  EXPECT_TRUE(result == 0 || result == host::kComNotOpen) << result;
}

TEST_F(SerialPortTest, RefusesBadPortsSettingsAndArguments) {
  PtyPeer peer(Behaviour::Silent);
  announce(peer);

  EXPECT_EQ(openAtStationSettings(0), host::kComInvalidPort);
  EXPECT_EQ(openAtStationSettings(-3), host::kComInvalidPort);
  EXPECT_EQ(ComRd(0, nullptr, 0), host::kComInvalidPort);
  EXPECT_EQ(openAtStationSettings(99), host::kComNoSuchPort) << "no tty for COM99";
  EXPECT_EQ(SetComTime(kAtCom, 1.0), host::kComNotOpen);
  EXPECT_EQ(CloseCom(kAtCom), host::kComNotOpen);

  EXPECT_EQ(OpenComConfig(kAtCom, nullptr, 12345, 0, 8, 1, 512, 512), host::kComBadBaudRate);
  EXPECT_EQ(OpenComConfig(kAtCom, nullptr, 115200, 5, 8, 1, 512, 512), host::kComBadFrameFormat);
  EXPECT_EQ(OpenComConfig(kAtCom, nullptr, 115200, 0, 9, 1, 512, 512), host::kComBadFrameFormat);
  EXPECT_EQ(OpenComConfig(kAtCom, nullptr, 115200, 0, 8, 3, 512, 512), host::kComBadFrameFormat);
  EXPECT_EQ(OpenComConfig(kAtCom, nullptr, 115200, 0, 8, 1, -1, 512), host::kComBadParameter);

  ASSERT_EQ(openAtStationSettings(kAtCom), 0);
  EXPECT_EQ(ComRd(kAtCom, nullptr, 10), host::kComBadParameter);
  char buffer[4];
  EXPECT_EQ(ComRd(kAtCom, buffer, -1), host::kComBadParameter);
  EXPECT_EQ(ComWrt(kAtCom, nullptr, 3), host::kComBadParameter);
  EXPECT_EQ(SetComTime(kAtCom, -1.0), host::kComBadParameter);
  EXPECT_EQ(ComWrt(kAtCom, buffer, 0), 0);

  EXPECT_EQ(OpenComConfig(kAtCom + 1, "/proc/self/status", 115200, 0, 8, 1, 512, 512),
            host::kComCannotOpen)
      << "a file that is not a terminal is no serial port";
  EXPECT_EQ(openAtStationSettings(kAtCom + 1, peer.ttyPath().c_str()), host::kComCannotOpen)
      << "a tty already open as another COM number has an owner";
}

TEST_F(SerialPortTest, ATtyPathGivenByNameNeedsNoDirectoryEntry) {
  PtyPeer peer(Behaviour::Echo);
  ASSERT_EQ(openAtStationSettings(kAtCom, peer.ttyPath().c_str()), 0);
  ASSERT_EQ(SetComTime(kAtCom, 1.0), 0);
  ASSERT_EQ(ComWrt(kAtCom, "ATE0\r", 5), 5);
  EXPECT_EQ(readAll(kAtCom, 5), "ATE0\r");
}

}  // namespace
