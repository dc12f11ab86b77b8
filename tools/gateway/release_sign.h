// Signing for the operator commands of vexo-gateway: RSA PKCS #1 v1.5 over SHA-256, with a private
// key file or with a command that holds the key (an HSM), and the signed-file form the plug-in reads
// (modules/release_trust.h): body, "[SIGNATURE]", one hex line per signature.
#pragma once

#include <stdint.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "modules/release_trust.h"

// How a command signs: a PEM private key file, or a shell command that reads the bytes to sign on
// standard input and writes the signature (raw bytes) to standard output.
struct Signer {
  std::string keyFile;
  std::string command;
};

// The signature of data: false with a message.
bool Sign(const Signer& signer, const std::string& data, std::string* signature, std::string* error);

// body followed by its signatures as the plug-in reads them.
std::string Signed_Join(const std::string& body, const std::vector<std::string>& signatures);

// The base64 DER (SubjectPublicKeyInfo) of the RSA public key in pemFile, which holds a public or a
// private key: false with a message.
bool Key_PublicBase64(const std::string& pemFile, std::string* base64, std::string* error);

// True when signature is by the key given as base64 DER.
bool Key_Verifies(const std::string& base64, const std::string& data, const std::string& signature);

// A new RSA key pair of bits bits: NAME.pem (private, mode 0600) and NAME.pub.pem. False with a
// message; nothing is written then, and nothing is ever overwritten.
bool Key_Generate(const std::string& name, int bits, std::string* error);

// Now, for expiry times: the clock, or the seconds in VEXO_GATEWAY_NOW (tests make expired files
// with it).
int64_t Tool_Now();

// The highest number of a served trust file of kind in folder, or 0.
int Highest_Numbered(const std::string& folder, const TrustFileName& kind);
// The served name of number of kind.
std::string Served_Name(const TrustFileName& kind, int number);

// Writes bytes to path through a temporary file and one rename.
bool Write_Whole(const std::string& path, const std::string& bytes);

// Reads a whole file (empty when it cannot be read).
std::string Read_Whole(const std::string& path);

// A decimal number of 1 to 10 digits, at most max: false otherwise.
bool Parse_Count(const std::string& text, long long max, long long* value);

// The words of a command line: "--flag value" pairs and the other words (the folders).
struct Tool_Arguments {
  std::multimap<std::string, std::string> values;
  std::vector<std::string> words;
  // The value of flag, or empty.
  std::string One(const std::string& flag) const;
};
// Reads argv[1...]: false for a flag not in known, a flag without a value, or a second one of a
// flag not in repeatable.
bool Tool_ParseArguments(int argc, char** argv, const std::set<std::string>& known,
                         const std::set<std::string>& repeatable, Tool_Arguments* arguments);
