// libcurl, loaded by the first session rather than with the platform: most
// starts of a program never go on the web, and libcurl's tree of libraries
// (TLS, Kerberos, LDAP, SSH, IDN...) is the larger part of what a process
// loads before its first line runs. Nothing of libcurl is linked; the
// internet layer calls it through this table only.
//
//   if (const CurlLibrary* curl = LoadCurl()) curl->easy_init();
//
// Once loaded (and its global set-up done) libcurl stays for the process's life.
#pragma once

#include <curl/curl.h>

namespace qv::inet {

// The libcurl calls the internet layer makes, as (member, libcurl function).
#define QV_CURL_FUNCTIONS(X)                          \
  X(global_init, curl_global_init)                    \
  X(free, curl_free)                                  \
  X(easy_init, curl_easy_init)                        \
  X(easy_cleanup, curl_easy_cleanup)                  \
  X(easy_setopt, curl_easy_setopt)                    \
  X(easy_pause, curl_easy_pause)                      \
  X(multi_init, curl_multi_init)                      \
  X(multi_cleanup, curl_multi_cleanup)                \
  X(multi_add_handle, curl_multi_add_handle)          \
  X(multi_remove_handle, curl_multi_remove_handle)    \
  X(multi_perform, curl_multi_perform)                \
  X(multi_poll, curl_multi_poll)                      \
  X(multi_info_read, curl_multi_info_read)            \
  X(slist_append, curl_slist_append)                  \
  X(slist_free_all, curl_slist_free_all)              \
  X(url, curl_url)                                    \
  X(url_cleanup, curl_url_cleanup)                    \
  X(url_get, curl_url_get)                            \
  X(url_set, curl_url_set)

struct CurlLibrary {
#define QV_CURL_MEMBER(member, function) decltype(&::function) member = nullptr;
  QV_CURL_FUNCTIONS(QV_CURL_MEMBER)
#undef QV_CURL_MEMBER
};

// The library's name as the loader knows it (its soname).
inline constexpr const char* kCurlLibraryName = "libcurl.so.4";

// libcurl, loaded and globally set up on the first call (any thread); null
// when it cannot be loaded, lacks a function or fails its set-up (every
// later call says the same).
const CurlLibrary* LoadCurl();
// The loaded library, for code that runs only once LoadCurl gave it (a
// transfer exists only within a session).
const CurlLibrary& Curl();

}  // namespace qv::inet
