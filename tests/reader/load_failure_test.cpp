// A driver that cannot be found: InitialLib reports 0 and nothing is bound.
// The library is loaded from a copy in a folder without drivers, so neither
// its own folder nor the test drivers can satisfy the load.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(LoadFailure, InitialLibReportsZeroAndBindsNothing) {
  const fs::path dir = fs::temp_directory_path() / ("tarnwick-nodriver-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path copy = dir / "libtarnwick-copy.so";
  fs::copy_file(TARNWICK_LIBRARY_FILE, copy, fs::copy_options::overwrite_existing);

  void* lib = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto initial = reinterpret_cast<uint8_t (*)(uint8_t)>(dlsym(lib, "InitialLib"));
  auto free_lib = reinterpret_cast<int32_t (*)()>(dlsym(lib, "FreeLib"));
  auto open_com = reinterpret_cast<int32_t (*)(uint8_t, uint32_t*)>(dlsym(lib, "OpenCom"));
  ASSERT_TRUE(initial && free_lib && open_com);

  EXPECT_EQ(initial(1), 0);
  EXPECT_EQ(initial(0), 0);
  uint32_t handle = 7;
  EXPECT_EQ(open_com(1, &handle), 1);
  EXPECT_EQ(handle, 7u);
  EXPECT_EQ(free_lib(), 0);

  dlclose(lib);
  fs::remove_all(dir);
}

}  // namespace
