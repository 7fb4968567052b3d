// The texts of one feed item and the extra parts it asks for, as the feed
// client reads them from the parsed document.
#pragma once

#include <string>

struct RssItemData {
  std::wstring title;
  std::wstring link;
  std::wstring description;
  std::wstring pubDate;
  std::wstring category;
  std::wstring imageTitle;
  std::wstring imageLink;
  std::wstring imageDescription;
  std::wstring imageUrl;
  std::wstring imageWidth;
  std::wstring imageHeight;
  std::wstring enclosureUrl;
  std::wstring enclosureLength;
  std::wstring enclosureType;
  std::wstring cinst;
};

struct ExpandInfo {
  enum State { kNone = 0, kWanted = 1, kDownloaded = 2 };
  enum Kind { kNormal = 0, kWeather = 1, kCarrier = 2 };
  std::wstring imageUrl;
  std::wstring contentsUrl;
  int imageState = kNone;
  int contentsState = kNone;
  int kind = kNormal;
};
