// The workspace of the running program: where it lives (ProgramDirectory and
// the configuration folder "_cfg" beside it), the two configuration databases
// opened once per process, and the few flags that tell which view of the main
// area is visible. One Workspace exists per process, owned by the application
// object; everything here runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

namespace lorvex {

// The folder of the running executable: /proc/self/exe resolved and cut at
// its last "/" (the slash itself is not part of it). Empty when the link
// cannot be read or its target would not fit in 259 characters.
std::string ProgramDirectory();

// The directory part of path, cut at its last "/", ":" or "\\"; a colon
// stays part of the directory, a slash or backslash does not. Empty when
// path holds no separator.
std::string DirectoryOf(const std::string& path);

// program_dir + "/_cfg".
std::string ConfigFolder(const std::string& program_dir);

// The picture view's client rectangle, written by the picture view at each
// draw and read by the fit commands.
struct PictureRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
};

class Workspace {
  public:
    // Remembers program_dir; opens nothing yet.
    explicit Workspace(std::string program_dir);
    // Closes the configuration databases if this workspace opened them.
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    const std::string& program_dir() const { return program_dir_; }
    const std::string& config_folder() const { return config_folder_; }

    // Opens "proj.pdb" and "dir_thumb.pdb" in the configuration folder
    // through the store, each created when absent. When the configuration
    // folder does not exist nothing is opened or created; a "proj.pdb" of
    // another version stays closed. Runs once: a second call does nothing.
    // Failures are silent, the features that need a database find no handle.
    void OpenConfigDatabases();
    // Closes both, once; forgets the store's handles.
    void CloseConfigDatabases();

    bool pictureShown() const { return picture_shown_ != 0; }
    void set_pictureShown(bool shown) { picture_shown_ = shown ? 1 : 0; }
    bool thumbnailsStale() const { return thumbnails_stale_ != 0; }
    void set_thumbnailsStale(bool stale) { thumbnails_stale_ = stale ? 1 : 0; }

    const PictureRect& picture_client_rect() const { return picture_client_rect_; }
    void set_picture_client_rect(const PictureRect& rect) { picture_client_rect_ = rect; }

  private:
    std::string program_dir_;
    std::string config_folder_;
    bool opened_ = false;
    bool closed_ = false;
    uint8_t picture_shown_ = 0;
    uint8_t thumbnails_stale_ = 0;
    PictureRect picture_client_rect_;
};

}  // namespace lorvex
