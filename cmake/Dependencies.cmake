# Third-party libraries: Debian packages on Linux, the cross-built cache (scripts/build-win-deps.sh)
# for Windows. Every target links the imported names below and never cares which.
find_package(Threads REQUIRED)

if(WIN32)
  find_package(CURL CONFIG QUIET)
  if(NOT TARGET CURL::libcurl)
    find_path(DEVU_CURL_INCLUDE curl/curl.h REQUIRED)
    find_library(DEVU_CURL_LIB NAMES libcurl.a curl REQUIRED)
    find_library(DEVU_ZLIB_LIB NAMES libz.a z REQUIRED)
    add_library(CURL::libcurl STATIC IMPORTED)
    set_target_properties(CURL::libcurl PROPERTIES
      IMPORTED_LOCATION ${DEVU_CURL_LIB}
      INTERFACE_INCLUDE_DIRECTORIES ${DEVU_CURL_INCLUDE}
      INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
      INTERFACE_LINK_LIBRARIES "${DEVU_ZLIB_LIB};ws2_32;crypt32;bcrypt;secur32;advapi32;normaliz;iphlpapi")
  endif()
  find_package(jsoncpp CONFIG REQUIRED)
  if(TARGET jsoncpp_static AND NOT TARGET JsonCpp::JsonCpp)
    add_library(JsonCpp::JsonCpp ALIAS jsoncpp_static)
  endif()
else()
  find_package(CURL REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
  add_library(JsonCpp::JsonCpp ALIAS PkgConfig::JSONCPP)
endif()

if(DEVU_TESTS)
  find_package(GTest CONFIG QUIET)
  if(NOT TARGET GTest::gtest)
    find_package(GTest REQUIRED)
  endif()
endif()
