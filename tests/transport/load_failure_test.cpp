// Loading the library binds nothing, and a driver that cannot be found
// makes InitialLib report 0. The library is loaded from a copy in a folder
// without drivers, by a program in another such folder, so neither the
// library's folder, the program's nor the test drivers can satisfy the load.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "support/os.h"

namespace {

namespace fs = std::filesystem;

TEST(LoadFailure, InitialLibReportsZeroAndBindsNothing) {
  const fs::path dir = testos::MakeTempFolder("tarnwick-nodriver-");
  const fs::path copy = dir / fs::path(TARNWICK_LIBRARY_FILE).filename();
  fs::copy_file(TARNWICK_LIBRARY_FILE, copy, fs::copy_options::overwrite_existing);

  std::string error;
  void* lib = testos::OpenLibrary(copy, error);
  ASSERT_NE(lib, nullptr) << error;
  auto initial = reinterpret_cast<uint8_t (*)(uint8_t)>(testos::FindFunction(lib, "InitialLib"));
  auto free_lib = reinterpret_cast<int32_t (*)()>(testos::FindFunction(lib, "FreeLib"));
  auto open_com = reinterpret_cast<int32_t (*)(uint8_t, uint32_t*)>(testos::FindFunction(lib, "OpenCom"));
  ASSERT_TRUE(initial && free_lib && open_com);

  EXPECT_EQ(free_lib(), 0) << "loading the library bound a driver";
  EXPECT_EQ(initial(1), 0);
  EXPECT_EQ(initial(0), 0);
  uint32_t handle = 7;
  EXPECT_EQ(open_com(1, &handle), 1);
  EXPECT_EQ(handle, 7u);
  EXPECT_EQ(free_lib(), 0);

  testos::CloseLibrary(lib);
  fs::remove_all(dir);
}

}  // namespace
