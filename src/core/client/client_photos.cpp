// Object photos: download with the local photo cache, upload and deletion.
#include "core/client/client.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <cstring>

#include "core/client/JpegImage.h"
#include "core/map/PngImage.h"
#include "core/util/LumDates.h"
#include "core/util/LumFiles.h"

namespace kelvra {

namespace {

const char *const kPhotoExts[] = {"png", "jpg", "jpeg"};

bool IsPng(std::string_view bytes) {
  return bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1A\n", 8) == 0;
}

// PNG or JPEG by the file's own signature, so a picture stored under the
// extension of a misleading content type is still shown.
std::unique_ptr<TBitmap32> DecodePicture(const std::string &bytes, std::string &error) {
  const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.data());
  if (IsPng(bytes)) {
    auto png = DecodePng(data, bytes.size(), error);
    return png ? PngToBitmap(*png) : nullptr;
  }
  return DecodeJpeg(data, bytes.size(), error);
}


} // namespace

bool TKelvraClient::LoadPhotoFile(TObjectInfo &oi, const std::string &aFile) {
  std::string bytes;
  std::string error = ReadFileBytes(aFile, bytes);
  auto bmp = error.empty() ? DecodePicture(bytes, error) : nullptr;
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
    const TDateTime fileDt = FromService(UnixToDateTime(st.st_mtime, false));
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
  LogFmt(" [%lld]", static_cast<long long>(fApiClient.RcvdCount()));
  // Decoded before it is stored: a reply that is not a picture (an error page, say) never
  // lands in the cache as a photo. The extension comes from the picture itself.
  const std::string body(fApiClient.GetRcvdData(), static_cast<size_t>(fApiClient.RcvdCount()));
  std::string error;
  auto bmp = DecodePicture(body, error);
  if (!bmp) {
    fErrorMessage = "not a picture: " + error;
    Log("\r  X: GetPhoto(" + uid + "): " + fErrorMessage + " [" + fApiClient.RcvdContentType() +
        "]");
    return false;
  }
  const std::string file = base + (IsPng(body) ? "png" : "jpg");
  LogSrcFmt("GetPhoto", "uid=%s -> %s", uid.c_str(), file.c_str());
  // An older photo of the object under the other extension would be found first next time.
  for (const char *ext : kPhotoExts)
    if (base + ext != file) std::remove((base + ext).c_str());
  SaveReplyBody(file); // a photo that cannot be cached is still shown
  oi.photo = std::move(bmp);
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
  // Every cached file of the uid, whatever extension an older version stored it under.
  if (!fPhotoDir.empty()) {
    const std::string prefix = std::to_string(oi.uid) + ".";
    std::error_code ec;
    for (std::filesystem::directory_iterator it(fPhotoDir, ec), end; !ec && it != end;
         it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (name.rfind(prefix, 0) == 0 && it->is_regular_file(ec)) std::remove(it->path().c_str());
    }
  }
  oi.ClearPhoto();
  return true;
}

} // namespace kelvra
