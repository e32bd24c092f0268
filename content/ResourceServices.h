// The services resource lists and loading workers load with.
#pragma once

namespace pf {
class Display;
class FileSystem;
class ImageLoader;
}  // namespace pf

struct ResourceServices {
    pf::ImageLoader* loader = nullptr;
    pf::FileSystem* fs = nullptr;
    pf::Display* display = nullptr;

    // The application's image loader, file system and display.
    static ResourceServices FromApplication();
};
