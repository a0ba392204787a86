// A refresh that fails never costs a cached picture or page: an error status, a body cut off
// and an empty body each leave the stale file with its content and its age. The local radar
// then serves the stale picture; a custom image reports the failure and keeps its old copy.
#include <gtest/gtest.h>

#include <string>

#include "images/radar.h"
#include "base/state.h"
#include "base/text.h"
#include "support/core_state.h"
#include "support/sandbox.h"
#include "support/services.h"

static const long long kMinute = 60;
static const long long kDay = 24 * 60 * kMinute;

class RadarRefresh : public ::testing::Test {
  protected:
    void SetUp() override {
        if (services::SimHost().empty()) {
            GTEST_SKIP() << "the local weather service is not running";
        }
        folder = sandbox::MakeFolder("radar-refresh");
        cache = sandbox::Join(folder, "Nimbrel");
        ResetCoreState(cache, services::SimHost());
    }
    void TearDown() override {
        if (!folder.empty()) {
            sandbox::RemoveTree(folder);
        }
    }

    std::string RadarFile(const std::string &id) {
        return sandbox::Join(cache, "Radar." + id + ".jpg");
    }
    std::string PageFile(const std::string &id) {
        return sandbox::Join(cache, "Home." + id + ".html");
    }
    std::string CustomFile(const std::string &name) {
        return sandbox::Join(cache, "Custom.Radar." + name);
    }
    // A picture address of the local service; the Location IDs SIM500, SIMDROP and SIMEMPTY
    // answer with an error status, a body cut off and an empty body.
    std::string SimPicture(const std::string &id) {
        return "http://" + services::SimHost() + "/images/radar/" + id + ".png";
    }
    std::string PageNaming(const std::string &id, const std::string &address) {
        return "<html>var localMap = new mw_propsObj('" + id + "','" + address +
               "','Local Radar','120','90');</html>";
    }
    // Writes a file `secondsAgo` old and returns its time.
    uint64_t Old(const std::string &path, const std::string &content, long long secondsAgo) {
        sandbox::WriteFile(path, content);
        SetFileAge(path, secondsAgo);
        return FileTime(path);
    }

    // A stale local picture whose cached page names a failing address: the old picture is
    // served, and neither file changes.
    void ExpectStalePictureServed(const std::string &id, const std::string &failingId) {
        uint64_t picture = Old(RadarFile(id), "OLD IMAGE", 31 * kMinute);
        std::string page = PageNaming(id, SimPicture(failingId));
        uint64_t pageTime = Old(PageFile(id), page, kMinute);
        EXPECT_EQ(RadarFile(id) + "%l" + RadarFile(id), std::string(LocalRadarLink(id.c_str())));
        EXPECT_EQ("OLD IMAGE", sandbox::ReadFile(RadarFile(id))) << failingId;
        EXPECT_EQ(picture, FileTime(RadarFile(id))) << failingId;
        EXPECT_EQ(page, sandbox::ReadFile(PageFile(id))) << failingId;
        EXPECT_EQ(pageTime, FileTime(PageFile(id))) << failingId;
    }

    // A stale page whose own address fails: the old page still names the picture, which is
    // fetched anew; the page keeps its content and age.
    void ExpectStalePageServed(const std::string &failingId, const std::string &pictureId) {
        Old(RadarFile(failingId), "OLD IMAGE", 31 * kMinute);
        std::string page = PageNaming(failingId, SimPicture(pictureId));
        uint64_t pageTime = Old(PageFile(failingId), page, 2 * kDay);
        EXPECT_EQ(RadarFile(failingId) + "%l" + RadarFile(failingId),
                  std::string(LocalRadarLink(failingId.c_str())));
        EXPECT_EQ(page, sandbox::ReadFile(PageFile(failingId)));
        EXPECT_EQ(pageTime, FileTime(PageFile(failingId)));
        std::string picture = sandbox::ReadFile(RadarFile(failingId));
        EXPECT_EQ(0u, picture.find("\x89PNG")) << "the picture was not fetched anew";
    }

    // A stale custom image whose address fails: the failure is reported and the old copy kept.
    void ExpectCustomCopyKept(const std::string &nickname, const std::string &failingId) {
        std::string file = CustomFile(nickname + ".png");
        uint64_t time = Old(file, "OLD IMAGE", 20 * kMinute);
        EXPECT_STREQ(TEXT_CUSTOM_IMAGE_FAILED,
                     CustomRadarLink(nickname.c_str(), SimPicture(failingId).c_str(), 15));
        EXPECT_EQ("OLD IMAGE", sandbox::ReadFile(file)) << failingId;
        EXPECT_EQ(time, FileTime(file)) << failingId;
        // Within its age limit the old copy is served again.
        EXPECT_EQ(
            file + "%l" + SimPicture(failingId),
            std::string(CustomRadarLink(nickname.c_str(), SimPicture(failingId).c_str(), 30)));
    }

    std::string folder, cache;
};

TEST_F(RadarRefresh, AnErrorStatusKeepsTheStaleFiles) {
    ExpectStalePictureServed("RRF01", "SIM500");
    ExpectStalePageServed("SIM500", "RRF02");
    ExpectCustomCopyKept("RF500", "SIM500");
}

TEST_F(RadarRefresh, ABodyCutOffKeepsTheStaleFiles) {
    ExpectStalePictureServed("RRF03", "SIMDROP");
    ExpectStalePageServed("SIMDROP", "RRF04");
    ExpectCustomCopyKept("RFDROP", "SIMDROP");
}

// An answer with a success status and no body at all is a failed download too.
TEST_F(RadarRefresh, AnEmptyBodyKeepsTheStaleFiles) {
    ExpectStalePictureServed("RRF05", "SIMEMPTY");
    ExpectStalePageServed("SIMEMPTY", "RRF06");
    ExpectCustomCopyKept("RFEMPTY", "SIMEMPTY");
}
