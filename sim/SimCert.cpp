#include "sim/SimCert.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace kelvra::sim {

namespace {

using TKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using TCert = std::unique_ptr<X509, decltype(&X509_free)>;
using TBio = std::unique_ptr<BIO, decltype(&BIO_free)>;
using TExt = std::unique_ptr<X509_EXTENSION, decltype(&X509_EXTENSION_free)>;

std::string BioText(BIO *bio) {
  char *data = nullptr;
  long len = BIO_get_mem_data(bio, &data);
  return len > 0 ? std::string(data, static_cast<size_t>(len)) : std::string();
}

bool WriteFile(const std::string &path, const std::string &text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  return static_cast<bool>(f);
}

bool Fail(std::string *error, const char *what) {
  if (error) {
    char buf[256];
    ERR_error_string_n(ERR_get_error(), buf, sizeof buf);
    *error = std::string(what) + ": " + buf;
  }
  return false;
}

} // namespace

bool MakeSelfSignedCert(const std::string &dir, TSimCert &out, std::string *error) {
  TKey key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
  if (!key) return Fail(error, "key generation");
  TCert cert(X509_new(), &X509_free);
  if (!cert) return Fail(error, "certificate");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -86400L);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 365L * 86400L);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME *name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char *>("kelvra-sim"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char *>("localhost"), -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
  const char *exts[][2] = {{"subjectAltName", "DNS:localhost,IP:127.0.0.1"},
                           {"basicConstraints", "critical,CA:TRUE"},
                           {"keyUsage", "critical,digitalSignature,keyCertSign"},
                           {"extendedKeyUsage", "serverAuth"}};
  for (auto &e : exts) {
    TExt ext(X509V3_EXT_nconf(nullptr, &ctx, e[0], e[1]), &X509_EXTENSION_free);
    if (!ext || !X509_add_ext(cert.get(), ext.get(), -1)) return Fail(error, "extension");
  }
  if (!X509_sign(cert.get(), key.get(), EVP_sha256())) return Fail(error, "signing");

  TBio certBio(BIO_new(BIO_s_mem()), &BIO_free), keyBio(BIO_new(BIO_s_mem()), &BIO_free);
  if (!certBio || !keyBio || !PEM_write_bio_X509(certBio.get(), cert.get()) ||
      !PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr))
    return Fail(error, "PEM");
  out.certPem = BioText(certBio.get());
  out.keyPem = BioText(keyBio.get());
  std::string base = dir.empty() || dir.back() == '/' ? dir : dir + "/";
  out.certFile = base + "sim-cert.pem";
  out.keyFile = base + "sim-key.pem";
  if (!WriteFile(out.certFile, out.certPem) || !WriteFile(out.keyFile, out.keyPem)) {
    if (error) *error = "cannot write " + out.certFile;
    return false;
  }
  return true;
}

} // namespace kelvra::sim
