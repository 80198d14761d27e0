// Object photos against kelvra-sim: download once then from the photo cache,
// upload, deletion.
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <string>

#include "SimClientFixture.h"
#include "support/TestPng.h"

namespace kelvra::test {
namespace {

namespace fs = std::filesystem;

class PhotosIt : public TSimClientTest {
protected:
  void SetUp() override {
    TSimClientTest::SetUp();
    ASSERT_GT(fClient->GetObjects(), 0) << fClient->GetErrorMessage();
  }
  TObjectInfo *WithPhoto() {
    for (const auto &oi : fClient->ObjList())
      if (oi->has_image) return oi.get();
    return nullptr;
  }
};

TEST_F(PhotosIt, FetchedOnceThenServedFromTheCache) {
  TObjectInfo *oi = WithPhoto();
  ASSERT_TRUE(oi);
  ASSERT_TRUE(fClient->GetPhoto(*oi)) << fClient->GetErrorMessage() << fLog;
  ASSERT_TRUE(oi->photo);
  EXPECT_GT(oi->photo->fWidth, 0);
  const std::string file = fClient->resultFile();
  EXPECT_EQ(fs::path(file).parent_path().string() + "/", fClient->PhotoDir());
  const std::string type =
      fSim->WithWorld([&](sim::TSimWorld &w) { return w.FindObject(oi->uid)->image_type; });
  EXPECT_EQ(fs::path(file).filename().string(),
            std::to_string(oi->uid) + "." + ContentType2Ext(type));
  EXPECT_NE(fLog.find("\rKelvraClient.GetPhoto: uid=" + std::to_string(oi->uid) + " -> " + file),
            std::string::npos)
      << fLog;

  // Loaded already: nothing to do. Forgotten: read back from the file without a
  // request.
  const size_t requests = RequestCount();
  EXPECT_TRUE(fClient->GetPhoto(*oi));
  oi->ClearPhoto();
  EXPECT_TRUE(fClient->GetPhoto(*oi));
  EXPECT_TRUE(oi->photo);
  EXPECT_EQ(RequestCount(), requests);
  EXPECT_NE(fLog.find("\rKelvraClient.GetPhoto(" + std::to_string(oi->uid) + "): cached"),
            std::string::npos);

  // A photo changed after the file was written is fetched again.
  struct utimbuf old {
    1000000000, 1000000000
  }; // 2001
  ASSERT_EQ(::utime(file.c_str(), &old), 0);
  oi->ClearPhoto();
  EXPECT_TRUE(fClient->GetPhoto(*oi));
  EXPECT_EQ(RequestCount(), requests + 1);
}

TEST_F(PhotosIt, UploadAndDelete) {
  TObjectInfo *oi = fClient->ObjList().front().get();
  const auto png = MakePng(0xFF2080C0, 40, 30);
  const std::string path = fHome.Write("upload/me.png", std::string(png.begin(), png.end()));
  EXPECT_TRUE(fClient->PostPhoto(oi->uid, path)) << fClient->GetErrorMessage();
  EXPECT_EQ(LastRequest().contentType, "image/png");
  fSim->WithWorld([&](sim::TSimWorld &w) {
    EXPECT_EQ(w.FindObject(oi->uid)->image, std::string(png.begin(), png.end()));
  });
  EXPECT_FALSE(fClient->PostPhoto(oi->uid, fHome.Path() + "missing.png"));
  EXPECT_EQ(fClient->ResultCode(), -1);

  ASSERT_TRUE(fClient->GetObject(oi->uid));
  ASSERT_TRUE(oi->has_image);
  ASSERT_TRUE(fClient->GetPhoto(*oi));
  EXPECT_EQ(oi->photo->fWidth, 40);
  const std::string file = fClient->resultFile();
  ASSERT_TRUE(fs::exists(file));

  EXPECT_TRUE(fClient->DeletePhoto(*oi));
  EXPECT_FALSE(oi->photo);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(fClient->DeletePhoto(*oi)); // nothing left to delete
  EXPECT_EQ(fClient->ResultCode(), 404);
}

TEST_F(PhotosIt, NoPhotoNoRequest) {
  TObjectInfo probe;
  probe.uid = fClient->ObjList().front()->uid;
  const size_t requests = RequestCount();
  EXPECT_FALSE(fClient->GetPhoto(probe));
  EXPECT_EQ(RequestCount(), requests);
}

} // namespace
} // namespace kelvra::test
