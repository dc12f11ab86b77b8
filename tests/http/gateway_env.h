// The ports and files of the local gateways that the ctest fixture (gateway_fixture.sh) started for
// this test program, read from gateway/gateway.env in the program's working folder.
#pragma once

#include <fstream>
#include <map>
#include <string>

class GatewayEnv {
 public:
  static const GatewayEnv& Get() {
    static const GatewayEnv env;
    return env;
  }
  bool ok() const { return !values_.empty(); }
  std::string Port(const std::string& name) const {
    const auto it = values_.find(name + "_port");
    return it != values_.end() ? it->second : "0";
  }
  // URL of a served module file on one of the listeners.
  std::string Url(const std::string& scheme, const std::string& host, const std::string& portName,
                  const std::string& file) const {
    return scheme + "://" + host + ":" + Port(portName) + "/plugin/file/" + file;
  }
  static std::string ModulePath(const std::string& file) { return "gateway/modules/" + file; }
  static std::string RequestLog() { return "gateway/requests.log"; }

 private:
  GatewayEnv() {
    std::ifstream in("gateway/gateway.env");
    std::string line;
    while (std::getline(in, line)) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) values_[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  std::map<std::string, std::string> values_;
};
