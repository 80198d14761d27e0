// Object photos: download with the local photo cache, upload and deletion.
#include "core/client/client.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "core/client/JpegImage.h"
#include "core/map/PngImage.h"
#include "core/util/LumDates.h"
#include "core/util/LumFiles.h"

namespace kelvra {

namespace {

const char *const kPhotoExts[] = {"png", "jpg", "jpeg"};

// PNG or JPEG by the file's own signature, so a picture stored under the
// extension of a misleading content type is still shown.
std::unique_ptr<TBitmap32> DecodePicture(const std::string &bytes, std::string &error) {
  const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.data());
  if (bytes.size() >= 8 && std::memcmp(data, "\x89PNG\r\n\x1A\n", 8) == 0) {
    auto png = DecodePng(data, bytes.size(), error);
    return png ? PngToBitmap(*png) : nullptr;
  }
  return DecodeJpeg(data, bytes.size(), error);
}

std::string ReadBytes(const std::string &file) {
  const int64_t size = FileSize(file);
  if (size <= 0) return {};
  std::string bytes(static_cast<size_t>(size), '\0');
  if (ReadBuffer(file, bytes.data(), size) != size) return {};
  return bytes;
}

} // namespace

bool TKelvraClient::LoadPhotoFile(TObjectInfo &oi, const std::string &aFile) {
  std::string error;
  auto bmp = DecodePicture(ReadBytes(aFile), error);
  if (!bmp) {
    Log("\r  X: " + aFile + ": " + error);
    return false;
  }
  oi.photo = std::move(bmp);
  return true;
}

bool TKelvraClient::GetPhoto(TObjectInfo &oi) {
  if (!oi.has_image) return false;
  if (oi.photo) return true;
  if (fPhotoDir.empty()) return false;
  const std::string uid = std::to_string(oi.uid);
  const std::string base = fPhotoDir + uid + ".";
  for (const char *ext : kPhotoExts) {
    const std::string file = base + ext;
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) continue;
    // The file's time on the display clock, as image_dt is.
    const TDateTime fileDt = UnixToDateTime(st.st_mtime, false) + GetTimeZone();
    if (oi.image_dt > fileDt) continue;
    LogFmt("\rKelvraClient.GetPhoto(%s): cached", uid.c_str());
    // A damaged cached file is fetched again rather than shown as no photo.
    if (LoadPhotoFile(oi, file)) return true;
  }
  DoGetRequest("GetPhoto", "/object/" + uid + "/img");
  if (fResultCode != 200) return false;
  if (fApiClient.RcvdCount() <= 0) {
    Log(" [no data]");
    return false;
  }
  LogFmt(" [%d]", fApiClient.RcvdCount());
  const std::string file = base + ContentType2Ext(fApiClient.RcvdContentType());
  LogSrcFmt("GetPhoto", "uid=%s -> %s", uid.c_str(), file.c_str());
  if (!SaveReplyBody(file)) return false;
  if (!LoadPhotoFile(oi, file)) return false;
  oi.ClearIcon();
  return true;
}

bool TKelvraClient::PostPhoto(int aUid, const std::string &aPhFile) {
  DoPostRequest("PostPhoto", "/object/" + std::to_string(aUid) + "/img", "file://" + aPhFile);
  return fResultCode == 204;
}

bool TKelvraClient::DeletePhoto(TObjectInfo &oi) {
  DoDelRequest("DeletePhoto", "/object/" + std::to_string(oi.uid) + "/img");
  if (fResultCode != 204) return false;
  if (!fPhotoDir.empty())
    for (const char *ext : kPhotoExts)
      std::remove((fPhotoDir + std::to_string(oi.uid) + "." + ext).c_str());
  oi.ClearPhoto();
  return true;
}

} // namespace kelvra
