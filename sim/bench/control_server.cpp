#include "sim/bench/control_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/clock.h"

namespace sim {
namespace {

// A request line longer than this is not a request; the connection is dropped.
constexpr size_t kMaxLine = 1u << 20;
// An event subscriber that stops reading is dropped before its backlog grows past this.
constexpr size_t kMaxBacklog = 4u << 20;
constexpr int kIdlePollMs = 1000;

std::atomic<ControlServer*> gSignalledServer{nullptr};

void onStopSignal(int) {
  if (ControlServer* server = gSignalledServer.load()) server->stop();
}

bool fillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  return true;
}

// True when a server accepts connections on `path`.
bool someoneServes(const sockaddr_un& address) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answered =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return answered;
}

}  // namespace

void stopServerOnSignals(ControlServer& server) {
  gSignalledServer = &server;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

ControlServer::ControlServer(std::string socketPath, TimingMode timing)
    : socketPath_(std::move(socketPath)),
      bench_([this](const nlohmann::json& event) { broadcast(event); }, timing) {}

ControlServer::~ControlServer() {
  if (gSignalledServer.load() == this) gSignalledServer = nullptr;
  shutdown();
}

bool ControlServer::start(std::string& error) {
  sockaddr_un address;
  if (!fillAddress(socketPath_, address)) {
    error = "the socket path is empty or too long";
    return false;
  }
  struct stat info {};
  if (::lstat(socketPath_.c_str(), &info) == 0) {
    if (!S_ISSOCK(info.st_mode)) {
      error = socketPath_ + " exists and is not a socket";
      return false;
    }
    if (someoneServes(address)) {
      error = "a bench already serves on " + socketPath_;
      return false;
    }
    ::unlink(socketPath_.c_str());
  }
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenFd_ < 0 ||
      ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 64) != 0 || ::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = socketPath_ + ": " + std::strerror(errno);
    shutdown();
    return false;
  }
  return true;
}

void ControlServer::stop() {
  stopping_ = true;
  if (wakePipe_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(wakePipe_[1], &byte, 1);
  }
}

void ControlServer::run() {
  while (!stopping_) serveOnce();
  // Let the last replies (the answer to "quit") go out before the connections close, giving
  // a client that does not read a short while only.
  for (auto& client : clients_) {
    for (int round = 0; round < 20 && !client->output.empty() && !client->closing; ++round) {
      pollfd writable{client->fd, POLLOUT, 0};
      if (::poll(&writable, 1, 10) > 0) writeClient(*client);
    }
  }
  shutdown();
}

void ControlServer::serveOnce() {
  std::vector<pollfd> fds;
  fds.push_back({listenFd_, POLLIN, 0});
  fds.push_back({wakePipe_[0], POLLIN, 0});
  for (auto& client : clients_) {
    fds.push_back(
        {client->fd, static_cast<short>(POLLIN | (client->output.empty() ? 0 : POLLOUT)), 0});
  }
  std::vector<std::pair<VirtualModule*, ModulePort*>> portOf;
  for (VirtualModule* module : bench_.modules()) {
    for (const auto& port : module->ports()) {
      fds.push_back({port->pty.masterFd(), POLLIN, 0});
      portOf.emplace_back(module, port.get());
    }
  }
  const uint64_t next = bench_.run();
  const uint64_t now = host::tickMs();
  const int timeout =
      next ? static_cast<int>(next > now ? std::min<uint64_t>(next - now, 1000) : 0) : kIdlePollMs;
  if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return;

  if (fds[1].revents & POLLIN) {
    char drain[64];
    while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
    }
  }
  // Serial ports first: the ports listed are still the module's, nothing has changed yet.
  const size_t firstPort = 2 + clients_.size();
  for (size_t i = 0; i < portOf.size(); ++i) {
    if (fds[firstPort + i].revents & POLLIN) portOf[i].first->onPortInput(*portOf[i].second);
  }
  for (size_t i = 0; i < clients_.size(); ++i) {
    Client& client = *clients_[i];
    const short events = fds[2 + i].revents;
    if (events & (POLLIN | POLLHUP | POLLERR)) readClient(client);
    if (!client.closing || !client.output.empty()) writeClient(client);
  }
  std::erase_if(clients_, [](const std::unique_ptr<Client>& client) {
    if (client->fd >= 0 && !(client->closing && client->output.empty())) return false;
    if (client->fd >= 0) ::close(client->fd);
    return true;
  });
  if (fds[0].revents & POLLIN) acceptClients();
}

void ControlServer::acceptClients() {
  for (;;) {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    auto client = std::make_unique<Client>();
    client->fd = fd;
    clients_.push_back(std::move(client));
  }
}

void ControlServer::readClient(Client& client) {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
    if (n > 0) {
      client.input.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) client.closing = true;
    break;
  }
  size_t end;
  while ((end = client.input.find('\n')) != std::string::npos) {
    const std::string line = client.input.substr(0, end);
    client.input.erase(0, end + 1);
    handleLine(client, line);
  }
  if (client.input.size() > kMaxLine) {
    client.input.clear();
    client.closing = true;
  }
}

void ControlServer::writeClient(Client& client) {
  while (!client.output.empty()) {
    ssize_t n = ::send(client.fd, client.output.data(), client.output.size(), MSG_NOSIGNAL);
    if (n > 0) {
      client.output.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    client.output.clear();
    client.closing = true;
    return;
  }
}

void ControlServer::handleLine(Client& client, const std::string& line) {
  nlohmann::json reply;
  nlohmann::json request = nlohmann::json::parse(line, nullptr, false);
  if (request.is_discarded()) {
    reply = errorReply("a request is one line of JSON");
  } else if (request.is_object() && request.value("cmd", "") == "quit") {
    reply = okReply();
    stop();
  } else if (request.is_object() && request.value("cmd", "") == "subscribe") {
    client.subscribed = true;
    reply = okReply();
  } else {
    reply = bench_.handle(request);
  }
  client.output += reply.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void ControlServer::broadcast(const nlohmann::json& event) {
  const std::string line = event.dump() + "\n";
  for (auto& client : clients_) {
    if (!client->subscribed || client->closing) continue;
    if (client->output.size() > kMaxBacklog) {
      client->output.clear();
      client->closing = true;
      continue;
    }
    client->output += line;
  }
}

void ControlServer::shutdown() {
  // Removing the modules closes their ptys and fastboot devices; the events go nowhere.
  for (auto& client : clients_) {
    if (client->fd >= 0) ::close(client->fd);
  }
  clients_.clear();
  for (VirtualModule* module : bench_.modules()) module->unplug();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    listenFd_ = -1;
    ::unlink(socketPath_.c_str());
  }
  for (int& fd : wakePipe_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

}  // namespace sim
