// Downloads over HTTPS through the loopback front of the local weather service (tls_front.sh),
// whose certificate authority only this test trusts: the secure round trip, the redirects that
// stay secure or become secure, and the ones that would leave HTTPS, which fail and keep the
// cached copy.
#include <gtest/gtest.h>

#include <string>

#include "feed/download.h"
#include "support/core_state.h"
#include "support/sandbox.h"
#include "support/services.h"

#include <stdlib.h>

// The front's state folder, as this program sees it, or empty.
static std::string TlsState() {
    const char *folder = getenv("NIMBREL_TEST_TLS");
    if (folder == nullptr || folder[0] == '\0') {
        return "";
    }
    std::string path = folder;
#if defined(_WIN32)
    if (path[0] == '/') {
        path = "Z:" + path; // Wine shows the Unix root as drive Z:
    }
#endif
    return path;
}

static std::string Port(const std::string &name) {
    std::string text = sandbox::ReadFile(sandbox::Join(TlsState(), name + ".port"));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// Trusts the test's authority for the life of the object. libcurl takes it through
// CURL_CA_BUNDLE, which then stands alone; WinINet under Wine reads the system's roots, where
// the front's start has put it (tls_front.sh).
class TrustedAuthority {
  public:
    explicit TrustedAuthority(const std::string &pem) : trusted_(sandbox::Exists(pem)) {
#if !defined(_WIN32)
        sandbox::SetEnv("CURL_CA_BUNDLE", pem);
#endif
    }
    ~TrustedAuthority() {
#if !defined(_WIN32)
        sandbox::UnsetEnv("CURL_CA_BUNDLE");
#endif
    }
    bool trusted() const {
        return trusted_;
    }

  private:
    bool trusted_;
};

class Https : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty() || TlsState().empty() ||
            !sandbox::Exists(sandbox::Join(TlsState(), "tls.port"))) {
            GTEST_SKIP() << "the HTTPS front is not running";
        }
        authority = new TrustedAuthority(sandbox::Join(TlsState(), "ca.pem"));
        if (!authority->trusted()) {
            GTEST_SKIP() << "the test's certificate authority is not trusted here";
        }
        folder = sandbox::MakeFolder("https");
        cache = sandbox::Join(folder, "Nimbrel");
        ResetCoreState(cache, services::SimHost());
        secure = "https://localhost:" + Port("tls");
    }
    void TearDown() override {
        delete authority;
        if (!folder.empty()) {
            sandbox::RemoveTree(folder);
        }
    }

    // Fetches into a file of its own that holds "kept" before (a failed file is not asked again
    // for two minutes); returns what the file holds after.
    std::string FetchOver(const std::string &address, int *result) {
        std::string path = sandbox::Join(cache, "fetch." + std::to_string(fetches++) + ".xml");
        sandbox::WriteFile(path, "kept");
        *result = FetchToFile(path.c_str(), address.c_str());
        return sandbox::ReadFile(path);
    }

    TrustedAuthority *authority = nullptr;
    std::string folder, cache, secure;
    int fetches = 0;
};

TEST_F(Https, ADocumentComesOverHttpsAndOverRedirectsThatStaySecure) {
    std::string path = "/weather/local/HTTPS1?cc=*&unit=m";
    std::string expected = services::SimGet(path);
    ASSERT_NE(std::string::npos, expected.find("<ut>C</ut>"));
    int result = -1;
    EXPECT_EQ(expected, FetchOver(secure + path, &result));
    EXPECT_EQ(0, result);
    // https to https, and http up to https.
    EXPECT_EQ(expected, FetchOver(secure + "/hop" + path, &result));
    EXPECT_EQ(0, result);
    EXPECT_EQ(expected,
              FetchOver("http://127.0.0.1:" + Port("plain") + "/to-https" + path, &result));
    EXPECT_EQ(0, result);
}

TEST_F(Https, ARedirectDownToHttpOrAnUntrustedCertificateFailsAndKeepsTheCache) {
    services::SimReset();
    int result = -1;
    EXPECT_EQ("kept", FetchOver(secure + "/to-http/weather/local/HTTPS2?cc=*&unit=m", &result));
    EXPECT_EQ(1, result);
    // The plain server was never asked.
    EXPECT_EQ(0, services::SimRequests("HTTPS2"));

    EXPECT_EQ("kept", FetchOver("https://localhost:" + Port("untrusted") +
                                    "/weather/local/HTTPS3?cc=*&unit=m",
                                &result));
    EXPECT_EQ(1, result);
    EXPECT_EQ(0, services::SimRequests("HTTPS3"));
}
