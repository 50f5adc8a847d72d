// Makes the test run's certificate authority trusted inside the build's Wine prefix, and takes it away
// again. Usage: trust_test_ca add CA.der | trust_test_ca remove
//
// Wine's crypt32 builds the machine's "Root" store anew in every wineserver session: it copies the host's
// CA bundle (/etc/ssl/certs) into volatile keys under HKLM\Software\Microsoft\SystemCertificates\Root,
// which never reach the prefix's files. The test authority stays out of that host-wide set and goes into
// the current user's "Root" store instead, which Wine keeps in this prefix's user registry
// (HKCU\Software\Microsoft\SystemCertificates\Root\Certificates) and which the default chain engine,
// the one WinHTTP checks servers with, trusts together with the machine's roots. Nothing outside the
// build's prefix learns of the authority, and removing it restores the prefix as it was.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Every authority the test scripts make carries this common name, so a run that was cut short before
// cleaning up leaves nothing behind after the next run's removal.
constexpr wchar_t kTestCaName[] = L"Quillon Telemetry Test CA";

// Wine's registry-backed stores write their changes when the last reference to them goes, which a
// store inside Wine's system collection may never see; committing writes them at once.
struct StoreCloser {
  HCERTSTORE store;
  ~StoreCloser() {
    if (store == nullptr) return;
    if (!::CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr)) {
      std::fprintf(stderr, "cannot write the Root store: error %lu\n", ::GetLastError());
    }
    ::CertCloseStore(store, 0);
  }
};

HCERTSTORE OpenRootStore() {
  return ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
}

int RemoveTestAuthorities(HCERTSTORE store) {
  int removed = 0;
  for (;;) {
    // Deleting frees the context, so each search starts over.
    PCCERT_CONTEXT found =
        ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_W, kTestCaName, nullptr);
    if (found == nullptr) return removed;
    if (!::CertDeleteCertificateFromStore(found)) {
      std::fprintf(stderr, "cannot remove a test authority: error %lu\n", ::GetLastError());
      return -1;
    }
    ++removed;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command != L"add" && command != L"remove") {
    std::fprintf(stderr, "usage: trust_test_ca add CA.der | trust_test_ca remove\n");
    return 2;
  }
  StoreCloser root{OpenRootStore()};
  if (root.store == nullptr) {
    std::fprintf(stderr, "cannot open the Root store: error %lu\n", ::GetLastError());
    return 1;
  }
  const int removed = RemoveTestAuthorities(root.store);
  if (removed < 0) return 1;
  if (command == L"remove") {
    std::printf("removed %d test authorities\n", removed);
    return 0;
  }

  if (argc < 3) return 2;
  std::ifstream in(argv[2], std::ios::binary);
  const std::vector<BYTE> der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (der.empty()) {
    std::fprintf(stderr, "cannot read the authority's certificate\n");
    return 1;
  }
  if (!::CertAddEncodedCertificateToStore(root.store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
    std::fprintf(stderr, "cannot add the authority: error %lu\n", ::GetLastError());
    return 1;
  }
  std::printf("trusted the test authority\n");
  return 0;
}
