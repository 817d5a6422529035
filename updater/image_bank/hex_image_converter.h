#pragma once
// Turns an Intel HEX text file into the 64 KB memory image of the board and
// writes that image to the intermediate file. A forgiving reader: data
// records at their 16-bit addresses, everything else ignored.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "framework/file.h"
#include "updater/image_bank/file_problem.h"

namespace brevan {

// Where the intermediate image file is made. A fixed path is created or
// emptied; when there is none, or it cannot be created and a directory is
// given, a private file of a unique name is made in that directory.
struct ImageFilePlace {
  ImageFilePlace() = default;
  // A fixed file (the tests' own directories); converts from a path.
  ImageFilePlace(std::string fixed) : path(std::move(fixed)) {}  // NOLINT(google-explicit-constructor)
  static ImageFilePlace PrivateIn(std::string directory, std::string fixedFirst = {}) {
    ImageFilePlace place(std::move(fixedFirst));
    place.privateDirectory = std::move(directory);
    return place;
  }

  std::string path;
  std::string privateDirectory;
};

// "c:\pgm.isp", else a private file in the user's temporary directory, on
// Windows (the drive's root is writable only by administrators since Vista);
// a private file in the temporary directory elsewhere, which others share.
ImageFilePlace DefaultIntermediateImagePlace();

class CHexImageConverter {
 public:
  static constexpr std::size_t kImageSize = 0x10000;

  explicit CHexImageConverter(ImageFilePlace place = DefaultIntermediateImagePlace()) : m_place(std::move(place)) {}
  ~CHexImageConverter() { RemoveImageFile(); }
  CHexImageConverter(const CHexImageConverter&) = delete;
  CHexImageConverter& operator=(const CHexImageConverter&) = delete;

  // Converts the file at path and writes the image file, which stays open
  // (ImageFile()) until RemoveImageFile(), the next conversion or the end of
  // the converter. False when a file could not be opened, read, created or
  // written; Problem() says which, and no image file is left behind.
  bool ConvertHexFile(std::string_view path);
  // Closes and deletes the image file this converter made, if any.
  void RemoveImageFile();
  // The image file written by the last successful conversion, open for reading.
  CFile& ImageFile() { return m_imageFile; }

  // Applies one record line to the image (exposed for the tests and benches).
  void ApplyRecordLine(std::string_view line);

  std::span<const std::uint8_t, kImageSize> Image() const { return m_image; }
  // The image file's name (of the last conversion; also after its removal).
  const std::string& ImagePath() const { return m_strImagePath; }
  const FileProblem& Problem() const { return m_problem; }

 private:
  bool CreateImageFile();

  std::array<std::uint8_t, kImageSize> m_image{};
  ImageFilePlace m_place;
  std::string m_strImagePath;
  CFile m_imageFile;
  bool m_imageFileMade = false;
  FileProblem m_problem;
};

}  // namespace brevan
