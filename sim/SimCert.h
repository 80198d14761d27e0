#pragma once
// A self-signed certificate made at run time, so that HTTPS tests need no files in the tree.
#include <string>

namespace kelvra::sim {

struct TSimCert {
  std::string certFile; // PEM certificate; also the CA file a client trusts
  std::string keyFile;  // PEM private key
  std::string certPem;
  std::string keyPem;
};

// Makes an EC P-256 key and a self-signed certificate for CN "localhost" with the alternative names
// localhost and 127.0.0.1, valid from a day ago for a year, and writes "sim-cert.pem" and
// "sim-key.pem" into dir (which must exist). Returns false with a message in error on failure.
bool MakeSelfSignedCert(const std::string &dir, TSimCert &out, std::string *error = nullptr);

} // namespace kelvra::sim
