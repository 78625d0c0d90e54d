#pragma once
// The far end of a pseudo terminal, standing in for a module's serial port in tests. The
// station opens the tty side by its path; the peer reads what the station writes on the
// master side and answers it: with "OK" to every line, with a scripted reply to every command
// line, by echoing it, by staying silent, or by writing without pause.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

class PtyPeer {
 public:
  enum class Behaviour {
    AnswerOk,  // "\r\nOK\r\n" once a line end has arrived
    Silent,    // reads and records, never answers
    Echo,      // writes back every byte it reads
    Flood,     // writes bytes without pause and never answers
  };
  // Gets one command line without its line ends; returns the bytes to answer (empty: none).
  using Responder = std::function<std::string(const std::string& command)>;

  explicit PtyPeer(Behaviour behaviour);
  explicit PtyPeer(Responder responder);
  ~PtyPeer();

  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  const std::string& ttyPath() const { return ttyPath_; }

  // Every byte the station has written so far.
  std::string received();
  // The command lines received so far, without their line ends (responder peers only).
  std::vector<std::string> commands();

  // Stops reading and answering; the tty stays open.
  void stopAnswering();
  // Closes the master side: the tty is hung up, as when a module is unplugged.
  void hangUp();
  // Hangs up and closes the last tty descriptor as well: the tty path disappears.
  void vanish();

 private:
  void start();
  void run();
  void flood(char* chunk, size_t size);
  void answer(const std::string& text);
  void answerCommandLines();
  void writeAll(const std::string& text);
  bool waitReady(short events);

  Behaviour behaviour_;
  Responder responder_;
  int master_ = -1;
  int slave_ = -1;
  std::string ttyPath_;
  std::string pending_;  // bytes of a line not yet answered (worker thread only)
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::string received_;
  std::vector<std::string> commands_;
  std::thread worker_;
};

}  // namespace test_support
