// vexo-gateway: a local stand-in for the payment gateway. Serves the module files of a folder
// gzip-compressed under /plugin/file/, and the version table /plugin/file/MirovanVer.tbl built from
// them, over HTTP and/or HTTPS on loopback, with fault switches for tests. Runs until SIGTERM or
// SIGINT (or --lifetime seconds). With --control, tests change the switches while it runs.
#include <dirent.h>
#include <httplib.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "tools/gateway/module_catalog.h"
#include "tools/gateway/release_keys.h"
#include "tools/gateway/release_pack.h"

namespace {

const char kUsage[] =
    "usage: vexo-gateway keygen --out NAME\n"
    "         a key pair NAME.pem (private) and NAME.pub.pem\n"
    "       vexo-gateway keylist --root ROOT.pem --version N --expires DAYS --key RELEASE.pub.pem... OUT\n"
    "         the release keys, signed by the root, into the release folder OUT\n"
    "       vexo-gateway pack [--sign RELEASE.pem | --sign-command 'CMD'] [--serial N --expires DAYS] SRC OUT\n"
    "         writes a static release folder for any web server (OUT/plugin/file/...)\n"
    "       vexo-gateway rotate-root --old ROOT.pem --new NEWROOT.pem OUT\n"
    "         the next root record, signed by both roots\n"
    "       vexo-gateway verify --root ROOT.pub.pem [--root-version N] OUT\n"
    "         checks OUT as the plug-in would; run it before every publish\n"
    "       vexo-gateway --dir FOLDER [--bind ADDR] [--port N] [--tls-port N --cert PEM --key PEM]\n"
    "         [--ports-file FILE] [--request-log FILE] [--lifetime SECONDS]\n"
    "  table:  [--version NAME=V] [--target NAME=T] [--description NAME=N] [--reverse]\n"
    "          [--extra-entries N] [--bad-name NAME]\n"
    "  faults: [--status NAME=CODE] [--truncate NAME] [--drop NAME] [--damage NAME]\n"
    "          [--slow NAME] [--slow-ms MS] [--plain NAME]\n"
    "  hostile: [--stall NAME] [--trickle NAME] [--trickle-ms MS] [--redirect NAME=URL]\n"
    "          [--bad-status NAME=TEXT] [--endless NAME] [--bomb NAME]\n"
    "  tls:    [--identity NAME=CERT:KEY]... [--use-identity NAME]\n"
    "  test control on the plain listener: [--control]\n"
    "    POST /control/configure  body: table, fault and --use-identity options, one word per line;\n"
    "                             replaces the earlier ones, rereads the folder, clears the log\n"
    "    GET  /control/log        the requests served since the last look, one line each\n"
    "  Port 0 takes any free port; the ports file then tells which (lines http=N, https=N).\n";

bool SplitPair(const std::string& text, std::string* key, std::string* value) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  *key = text.substr(0, eq);
  *value = text.substr(eq + 1);
  return true;
}

bool ParseOptions(int argc, char** argv, GatewayOptions* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--reverse" || flag == "--control") {
      (flag == "--reverse" ? o->reverse : o->control) = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::string arg = argv[++i];
    std::string key, value;
    if (flag == "--dir") o->dir = arg;
    else if (flag == "--bind") o->bind = arg;
    else if (flag == "--port") o->httpPort = std::stoi(arg);
    else if (flag == "--tls-port") o->tlsPort = std::stoi(arg);
    else if (flag == "--cert") o->cert = arg;
    else if (flag == "--key") o->key = arg;
    else if (flag == "--ports-file") o->portsFile = arg;
    else if (flag == "--request-log") o->requestLog = arg;
    else if (flag == "--lifetime") o->lifetimeSeconds = std::stoi(arg);
    else if (flag == "--extra-entries") o->extraEntries = std::stoi(arg);
    else if (flag == "--bad-name") o->badNames.push_back(arg);
    else if (flag == "--truncate") o->truncate.insert(arg);
    else if (flag == "--drop") o->drop.insert(arg);
    else if (flag == "--damage") o->damage.insert(arg);
    else if (flag == "--slow") o->slow.insert(arg);
    else if (flag == "--slow-ms") o->slowMs = std::stoi(arg);
    else if (flag == "--plain") o->plain.insert(arg);
    else if (flag == "--stall") o->stall.insert(arg);
    else if (flag == "--trickle") o->trickle.insert(arg);
    else if (flag == "--trickle-ms") o->trickleMs = std::stoi(arg);
    else if (flag == "--endless") o->endless.insert(arg);
    else if (flag == "--bomb") o->bomb.insert(arg);
    else if (SplitPair(arg, &key, &value) && flag == "--redirect") o->redirect[key] = value;
    else if (SplitPair(arg, &key, &value) && flag == "--bad-status") o->badStatus[key] = value;
    else if (flag == "--use-identity") o->useIdentity = arg;
    else if (SplitPair(arg, &key, &value) && flag == "--identity") o->identities[key] = value;
    else if (SplitPair(arg, &key, &value) && flag == "--version") o->versions[key] = value;
    else if (SplitPair(arg, &key, &value) && flag == "--target") o->targets[key] = value;
    else if (SplitPair(arg, &key, &value) && flag == "--description") o->descriptions[key] = value;
    else if (SplitPair(arg, &key, &value) && flag == "--status") o->status[key] = std::stoi(value);
    else return false;
  }
  const bool tlsComplete = o->tlsPort < 0 || (!o->cert.empty() && !o->key.empty());
  const bool identityKnown = o->useIdentity.empty() || o->identities.count(o->useIdentity) != 0;
  return !o->dir.empty() && (o->httpPort >= 0 || o->tlsPort >= 0) && tlsComplete && identityKnown;
}

// The switches and the catalog built with them; replaced whole by a control request.
struct Served {
  GatewayOptions options;
  ModuleCatalog catalog;
};

// Certificate and key of one named identity, loaded once.
struct Identity {
  X509* cert = nullptr;
  EVP_PKEY* key = nullptr;
};

bool LoadIdentity(const std::string& files, Identity* identity) {
  const size_t colon = files.find(':');
  if (colon == std::string::npos) return false;
  FILE* cert = fopen(files.substr(0, colon).c_str(), "r");
  FILE* key = fopen(files.substr(colon + 1).c_str(), "r");
  if (cert != nullptr) identity->cert = PEM_read_X509(cert, nullptr, nullptr, nullptr);
  if (key != nullptr) identity->key = PEM_read_PrivateKey(key, nullptr, nullptr, nullptr);
  if (cert != nullptr) fclose(cert);
  if (key != nullptr) fclose(key);
  return identity->cert != nullptr && identity->key != nullptr;
}

class Gateway {
 public:
  Gateway(const GatewayOptions& startup, std::shared_ptr<const Served> served)
      : startup_(startup), served_(std::move(served)) {}

  bool LoadIdentities(std::string* error) {
    for (const auto& named : startup_.identities) {
      if (!LoadIdentity(named.second, &identities_[named.first])) {
        *error = "cannot load the identity " + named.first + " from " + named.second;
        return false;
      }
    }
    return true;
  }

  // Presents the identity the current switches name, chosen anew at each handshake.
  void ChooseIdentityPerHandshake(SSL_CTX* context) {
    SSL_CTX_set_cert_cb(context, [](SSL* ssl, void* self) {
      const std::string name = static_cast<Gateway*>(self)->Current()->options.useIdentity;
      const auto& identities = static_cast<Gateway*>(self)->identities_;
      const auto it = identities.find(name);
      if (it == identities.end()) return 1;  // the listener's own certificate
      return SSL_use_certificate(ssl, it->second.cert) == 1 && SSL_use_PrivateKey(ssl, it->second.key) == 1 ? 1 : 0;
    }, this);
  }

  void Route(httplib::Server& server, bool tls) {
    server.set_keep_alive_timeout(1);  // a stop waits for idle connections no longer than this
    server.Get("/plugin/file/(.+)", [this, tls](const httplib::Request& req, httplib::Response& res) {
      Serve(*Current(), req, res, tls);
    });
    if (startup_.control && !tls) {
      server.Post("/control/configure", [this](const httplib::Request& req, httplib::Response& res) {
        std::string error;
        if (!Configure(req.body, &error)) {
          res.status = 400;
          res.set_content(error + "\n", "text/plain");
          return;
        }
        res.set_content("ok " + std::to_string(Current()->catalog.Count()) + " files\n", "text/plain");
      });
      server.Get("/control/log", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(logMutex_);
        std::string text;
        for (const std::string& line : log_) text += line + "\n";
        log_.clear();
        res.set_content(text, "text/plain");
      });
    }
    server.set_error_handler([this, tls](const httplib::Request& req, httplib::Response& res) {
      if (res.status == 404 && req.path.rfind("/plugin/file/", 0) != 0) Log(req, tls, "not served");
    });
  }

 private:
  std::shared_ptr<const Served> Current() {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return served_;
  }

  // The startup options with the table, fault and identity switches of the body (one word per
  // line), the folder read anew; the request log starts empty.
  bool Configure(const std::string& body, std::string* error) {
    std::vector<std::string> words = {"vexo-gateway"};
    std::istringstream lines(body);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) words.push_back(line);
    }
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    auto next = std::make_shared<Served>();
    GatewayOptions& o = next->options;
    o.dir = startup_.dir;
    o.httpPort = startup_.httpPort;
    o.identities = startup_.identities;
    bool parsed = false;
    try {
      parsed = ParseOptions(static_cast<int>(argv.size()), argv.data(), &o);
    } catch (const std::exception&) {
    }
    if (!parsed || o.dir != startup_.dir) {
      *error = "bad options";
      return false;
    }
    // Listener settings stay those of the start.
    o.bind = startup_.bind;
    o.httpPort = startup_.httpPort;
    o.tlsPort = startup_.tlsPort;
    o.requestLog = startup_.requestLog;
    o.control = startup_.control;
    if (!next->catalog.Load(o, error)) return false;
    std::lock_guard<std::mutex> stateLock(stateMutex_);
    std::lock_guard<std::mutex> logLock(logMutex_);
    served_ = next;
    log_.clear();
    return true;
  }

  void Serve(const Served& served, const httplib::Request& req, httplib::Response& res, bool tls) {
    const GatewayOptions& o = served.options;
    const ModuleCatalog& catalog = served.catalog;
    const std::string name = req.matches[1];
    const auto status = o.status.find(name);
    if (status != o.status.end()) {
      Log(req, tls, "status " + std::to_string(status->second));
      res.status = status->second;
      res.set_content("fault injected by the local gateway\n", "text/plain");
      return;
    }
    if (o.drop.count(name) != 0) {
      Log(req, tls, "connection dropped");
      DropConnection(req);
      return;
    }
    if (o.stall.count(name) != 0) {
      Log(req, tls, "stalled");
      WaitUntilClientLeaves(req);
      return;
    }
    const auto redirect = o.redirect.find(name);
    if (redirect != o.redirect.end() && !req.has_param("redirected")) {
      Log(req, tls, "302 to " + redirect->second);
      res.set_redirect(redirect->second, 302);
      return;
    }
    if (o.endless.count(name) != 0) {
      Log(req, tls, "200 endless body");
      res.set_content_provider("application/octet-stream", [](size_t, httplib::DataSink& sink) {
        static const std::string zeros(64 * 1024, '\0');
        return sink.write(zeros.data(), zeros.size());
      });
      return;
    }
    auto body = std::make_shared<std::string>();
    if (name == ModuleCatalog::kTableName) {
      *body = catalog.Table();
    } else if (const ServedFile* file = catalog.Find(name)) {
      *body = o.plain.count(name) != 0 ? file->raw : file->gz;
    } else {
      Log(req, tls, "404 unknown file");
      res.status = 404;
      res.set_content("no such file\n", "text/plain");
      return;
    }
    if (o.damage.count(name) != 0) *body = DamageGzip(*body);
    if (o.bomb.count(name) != 0) *body = Bomb();
    const auto badStatus = o.badStatus.find(name);
    if (badStatus != o.badStatus.end()) {
      Log(req, tls, "bad status line " + badStatus->second);
      AnswerRaw(req, "HTTP/1.0 " + badStatus->second + "\r\nContent-Length: " + std::to_string(body->size()) +
                         "\r\nConnection: close\r\n\r\n" + *body);
      return;
    }
    const char* type = "application/octet-stream";
    if (o.truncate.count(name) != 0) {
      Log(req, tls, "200 truncated body");
      const size_t sent = body->size() - std::max<size_t>(1, body->size() / 2);
      res.set_content_provider(body->size(), type, [body, sent](size_t offset, size_t, httplib::DataSink& sink) {
        if (offset == 0 && sent > 0) sink.write(body->data(), sent);
        return false;  // closes the connection short of the announced length
      });
    } else if (o.trickle.count(name) != 0) {
      Log(req, tls, "200 trickled body");
      const int pause = o.trickleMs;
      res.set_content_provider(body->size(), type, [body, pause](size_t offset, size_t, httplib::DataSink& sink) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        return sink.write(body->data() + offset, 1);
      });
    } else if (o.slow.count(name) != 0) {
      Log(req, tls, "200 slow body");
      const size_t piece = body->size() / 8 + 1;
      const int pause = o.slowMs;
      res.set_content_provider(body->size(), type, [body, piece, pause](size_t offset, size_t length, httplib::DataSink& sink) {
        if (offset > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        sink.write(body->data() + offset, std::min(piece, length));
        return true;
      });
    } else {
      Log(req, tls, "200");
      res.set_content(*body, type);
    }
  }

  // The client's socket, found by its two ports (-1 when it is gone).
  static int ClientSocket(const httplib::Request& req) {
    if (req.ssl != nullptr) return SSL_get_fd(req.ssl);
    DIR* fds = opendir("/proc/self/fd");
    if (fds == nullptr) return -1;
    int found = -1;
    while (const dirent* entry = readdir(fds)) {
      const int fd = atoi(entry->d_name);
      struct stat st;
      if (fd <= 2 || fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
      sockaddr_in peer = {}, local = {};
      socklen_t peerLength = sizeof peer, localLength = sizeof local;
      if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
          getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 || peer.sin_family != AF_INET) {
        continue;
      }
      if (ntohs(peer.sin_port) == req.remote_port && ntohs(local.sin_port) == req.local_port) found = fd;
    }
    closedir(fds);
    return found;
  }

  // Shuts the client's connection down before any answer.
  static void DropConnection(const httplib::Request& req) {
    const int fd = ClientSocket(req);
    if (fd >= 0) shutdown(fd, SHUT_RDWR);
  }

  // Writes an answer the HTTP library could not make (a broken status line) and closes.
  static void AnswerRaw(const httplib::Request& req, const std::string& bytes) {
    const int fd = ClientSocket(req);
    if (fd < 0) return;
    for (size_t sent = 0; sent < bytes.size();) {
      const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    shutdown(fd, SHUT_RDWR);
  }

  // Holds an accepted request without a byte of answer until the client closes (at most 10 minutes).
  static void WaitUntilClientLeaves(const httplib::Request& req) {
    const int fd = ClientSocket(req);
    for (int waited = 0; fd >= 0 && waited < 600 * 10; ++waited) {
      pollfd p = {fd, POLLIN | POLLRDHUP, 0};
      if (poll(&p, 1, 100) > 0) {
        char byte;
        if ((p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0 || recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0) break;
      }
    }
    if (fd >= 0) shutdown(fd, SHUT_RDWR);
  }

  // Concatenated gzip members, each 16 MiB of zeros: 160 MiB unpacked from about 160 KB.
  static std::string Bomb() {
    static const std::string bomb = [] {
      const std::string zeros(16 * 1024 * 1024, '\0');
      z_stream z = {};
      deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
      std::string member(deflateBound(&z, zeros.size()), '\0');
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
      z.avail_in = static_cast<uInt>(zeros.size());
      z.next_out = reinterpret_cast<Bytef*>(&member[0]);
      z.avail_out = static_cast<uInt>(member.size());
      deflate(&z, Z_FINISH);
      member.resize(z.total_out);
      deflateEnd(&z);
      std::string all;
      for (int i = 0; i < 10; ++i) all += member;
      return all;
    }();
    return bomb;
  }

  void Log(const httplib::Request& req, bool tls, const std::string& outcome) {
    std::string line = req.method + " " + req.target + " " + req.version + (tls ? " tls" : " plain") + " -> " + outcome;
    for (const auto& header : req.headers) {
      // The library's own LOCAL_ and REMOTE_ entries are not request headers.
      if (header.first.rfind("LOCAL_", 0) == 0 || header.first.rfind("REMOTE_", 0) == 0) continue;
      line += " | " + header.first + ": " + header.second;
    }
    std::lock_guard<std::mutex> lock(logMutex_);
    std::cout << line << std::endl;
    if (startup_.control) log_.push_back(line);
    if (!startup_.requestLog.empty()) {
      std::ofstream log(startup_.requestLog, std::ios::app);
      log << line << "\n";
    }
  }

  const GatewayOptions& startup_;
  std::map<std::string, Identity> identities_;  // never changed after the start
  std::mutex stateMutex_;
  std::shared_ptr<const Served> served_;
  std::mutex logMutex_;
  std::vector<std::string> log_;
};

// True when something already accepts connections on addr:port.
bool SomeoneListens(const std::string& addr, int port) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  if (sock < 0) return false;
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  const bool listening = inet_pton(AF_INET, addr.c_str(), &to.sin_addr) == 1 &&
                         connect(sock, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  close(sock);
  return listening;
}

int Bind(httplib::Server& server, const GatewayOptions& o, int port) {
  // The library binds with SO_REUSEPORT, which lets two gateways share a fixed port and split the
  // requests between them: a port some other program listens on is refused instead. (SO_REUSEPORT
  // itself stays: without it the connections another gateway left in TIME-WAIT block the port.)
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    setsockopt(sock, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof yes);
  });
  if (port != 0 && SomeoneListens(o.bind, port)) return -1;
  if (port == 0) return server.bind_to_any_port(o.bind);
  return server.bind_to_port(o.bind, port) ? port : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2) {
    const std::string command = argv[1];
    if (command == "pack") return Pack_Run(argc - 1, argv + 1);
    if (command == "keygen") return Keygen_Run(argc - 1, argv + 1);
    if (command == "keylist") return KeyList_Run(argc - 1, argv + 1);
    if (command == "rotate-root") return RotateRoot_Run(argc - 1, argv + 1);
    if (command == "verify") return Verify_Run(argc - 1, argv + 1);
  }
  GatewayOptions o;
  try {
    if (!ParseOptions(argc, argv, &o)) {
      std::cerr << kUsage;
      return 2;
    }
  } catch (const std::exception&) {
    std::cerr << kUsage;
    return 2;
  }
  auto served = std::make_shared<Served>();
  served->options = o;
  std::string error;
  if (!served->catalog.Load(o, &error)) {
    std::cerr << "vexo-gateway: " << error << "\n";
    return 1;
  }
  const ModuleCatalog& catalog = served->catalog;

  // Signals are taken by sigwait below; threads started from here on inherit the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);  // writes to a dropped connection fail instead

  Gateway gateway(o, served);
  if (!gateway.LoadIdentities(&error)) {
    std::cerr << "vexo-gateway: " << error << "\n";
    return 1;
  }
  std::unique_ptr<httplib::Server> plain, secure;
  std::string ports;
  if (o.httpPort >= 0) {
    plain = std::make_unique<httplib::Server>();
    gateway.Route(*plain, false);
    const int port = Bind(*plain, o, o.httpPort);
    if (port < 0) {
      std::cerr << "vexo-gateway: cannot listen on " << o.bind << ":" << o.httpPort << "\n";
      return 1;
    }
    ports += "http=" + std::to_string(port) + "\n";
  }
  if (o.tlsPort >= 0) {
    secure = std::make_unique<httplib::SSLServer>(o.cert.c_str(), o.key.c_str());
    if (!secure->is_valid()) {
      std::cerr << "vexo-gateway: cannot use the certificate " << o.cert << " with the key " << o.key << "\n";
      return 1;
    }
    gateway.ChooseIdentityPerHandshake(static_cast<httplib::SSLServer&>(*secure).ssl_context());
    gateway.Route(*secure, true);
    const int port = Bind(*secure, o, o.tlsPort);
    if (port < 0) {
      std::cerr << "vexo-gateway: cannot listen on " << o.bind << ":" << o.tlsPort << "\n";
      return 1;
    }
    ports += "https=" + std::to_string(port) + "\n";
  }
  std::vector<std::thread> listeners;
  for (httplib::Server* server : {plain.get(), secure.get()}) {
    if (server != nullptr) listeners.emplace_back([server] { server->listen_after_bind(); });
  }
  if (!o.portsFile.empty()) {  // written whole, then renamed: a reader never sees half of it
    const std::string partial = o.portsFile + ".part";
    std::ofstream(partial) << ports;
    std::rename(partial.c_str(), o.portsFile.c_str());
  }
  std::cout << "vexo-gateway: " << catalog.Count() << " files from " << o.dir << "; " << ports << std::flush;

  if (o.lifetimeSeconds > 0) {
    const timespec lifetime = {o.lifetimeSeconds, 0};
    sigtimedwait(&stopSignals, nullptr, &lifetime);
  } else {
    int signalNumber = 0;
    sigwait(&stopSignals, &signalNumber);
  }
  for (httplib::Server* server : {plain.get(), secure.get()}) {
    if (server != nullptr) server->stop();
  }
  for (std::thread& t : listeners) t.join();
  return 0;
}
