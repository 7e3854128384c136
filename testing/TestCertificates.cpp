#include "testing/TestCertificates.h"

#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace velt::testing {

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

Key NewKey()
{
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key)
        throw std::runtime_error("EC key generation failed");
    return Key(key, &EVP_PKEY_free);
}

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        throw std::runtime_error("certificate extension failed");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// Valid from notBefore to notAfter seconds from now; signed by issuer (itself when null).
Certificate MakeCertificate(EVP_PKEY* key, const char* commonName, const char* altNames, long notBefore, long notAfter,
                            X509* issuer, EVP_PKEY* issuerKey, bool authority, long serial)
{
    Certificate certificate(X509_new(), &X509_free);
    X509* c = certificate.get();
    X509_set_version(c, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(c), serial);
    X509_gmtime_adj(X509_getm_notBefore(c), notBefore);
    X509_gmtime_adj(X509_getm_notAfter(c), notAfter);
    X509_set_pubkey(c, key);
    X509_NAME* name = X509_get_subject_name(c);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer ? issuer : c;
    X509_set_issuer_name(c, X509_get_subject_name(signer));
    if (authority) {
        AddExtension(c, signer, NID_basic_constraints, "critical,CA:TRUE");
        AddExtension(c, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        AddExtension(c, signer, NID_basic_constraints, "CA:FALSE");
        AddExtension(c, signer, NID_ext_key_usage, "serverAuth");
    }
    if (altNames)
        AddExtension(c, signer, NID_subject_alt_name, altNames);
    if (!X509_sign(c, issuerKey ? issuerKey : key, EVP_sha256()))
        throw std::runtime_error("certificate signing failed");
    return certificate;
}

void WritePem(const std::string& path, X509* certificate, EVP_PKEY* key)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        throw std::runtime_error("cannot write " + path);
    const bool ok = certificate ? PEM_write_X509(file, certificate) == 1
                                : PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    std::fclose(file);
    if (!ok)
        throw std::runtime_error("cannot write " + path);
}

} // namespace

TestCertificates::TestCertificates()
{
    constexpr long kDay = 24 * 3600;
    constexpr const char* kLoopbackNames = "IP:127.0.0.1,DNS:localhost";
    Key caKey = NewKey();
    Certificate ca
        = MakeCertificate(caKey.get(), "Tarnwick Test CA", nullptr, -kDay, 30 * kDay, nullptr, nullptr, true, 1);
    m_caFile = m_dir.file("ca.pem");
    WritePem(m_caFile, ca.get(), nullptr);

    const auto leaf
        = [&](const std::string& stem, const char* altNames, long notBefore, long notAfter, bool self, long serial) {
              Key key = NewKey();
              Certificate certificate
                  = MakeCertificate(key.get(), "127.0.0.1", altNames, notBefore, notAfter, self ? nullptr : ca.get(),
                                    self ? nullptr : caKey.get(), false, serial);
              Pair pair {m_dir.file(stem + ".pem"), m_dir.file(stem + ".key")};
              WritePem(pair.certificate, certificate.get(), nullptr);
              WritePem(pair.key, nullptr, key.get());
              return pair;
          };
    m_good = leaf("good", kLoopbackNames, -kDay, 30 * kDay, false, 2);
    m_expired = leaf("expired", kLoopbackNames, -30 * kDay, -kDay, false, 3);
    m_wrongHost = leaf("wronghost", "DNS:www.example.invalid", -kDay, 30 * kDay, false, 4);
    m_selfSigned = leaf("selfsigned", kLoopbackNames, -kDay, 30 * kDay, true, 5);
}

} // namespace velt::testing
