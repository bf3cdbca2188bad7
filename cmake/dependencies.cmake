# Third-party libraries, found once for the whole tree. scripts/install-deps installs them.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(LIBAVCODEC REQUIRED IMPORTED_TARGET libavcodec)
pkg_check_modules(LIBAVUTIL REQUIRED IMPORTED_TARGET libavutil)
pkg_check_modules(LIBSWSCALE REQUIRED IMPORTED_TARGET libswscale)
pkg_check_modules(LIBSWRESAMPLE REQUIRED IMPORTED_TARGET libswresample)
pkg_check_modules(X264 REQUIRED IMPORTED_TARGET x264)
pkg_check_modules(X265 REQUIRED IMPORTED_TARGET x265)
find_package(nlohmann_json 3 REQUIRED)

if(MORAINE_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(MORAINE_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()

pkg_check_modules(LOG4CPLUS REQUIRED IMPORTED_TARGET log4cplus)
find_package(OpenCV 4 REQUIRED COMPONENTS core imgproc video videoio)
