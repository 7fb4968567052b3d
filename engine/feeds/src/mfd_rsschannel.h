// One channel: its header texts, sub-records, skip lists and items.
#pragma once

#include "engine/feeds/src/mfd_list.h"
#include "engine/feeds/src/mfd_vect.h"
#include "engine/feeds/src/mfd_rsschannelimage.h"
#include "engine/feeds/src/mfd_rsschanneltextinput.h"
#include "engine/feeds/src/mfd_rsschannelitem.h"
#include "engine/feeds/src/mfd_rssdublincore.h"
#include "engine/feeds/src/mfd_rsssyndication.h"
#include "engine/feeds/src/mfd_rssfield.h"

#define MFD_RSSCHANNEL_TEXTS_A(X) X(About, about) X(Title, title) X(Description, description) X(Link, link) X(Language, language) X(Copyright, copyright) X(ManagingEditor, managingEditor) X(WebMaster, webMaster) X(PubDate, pubDate) X(LastBuildDate, lastBuildDate) X(Category, category) X(CategoryDomain, categoryDomain) X(Generator, generator) X(Docs, docs) X(Unnamed, unnamed) X(CloudDomain, cloudDomain) X(CloudPort, cloudPort) X(CloudPath, cloudPath) X(CloudRegisterProcedure, cloudRegisterProcedure) X(CloudProtocol, cloudProtocol) X(Ttl, ttl) X(Rating, rating)
#define MFD_RSSCHANNEL_TEXTS_B(X) X(Count, count) X(Ch, ch)
#define MFD_RSSCHANNEL_TEXTS_C(X) X(Style, style) X(BackgroundImg, backgroundImg) X(Template, templ) X(Touch, touch)
#define MFD_RSSCHANNEL_TEXTS(X) MFD_RSSCHANNEL_TEXTS_A(X) MFD_RSSCHANNEL_TEXTS_B(X) MFD_RSSCHANNEL_TEXTS_C(X)

struct MFD_RssChannel {
  MFD_RSSCHANNEL_TEXTS_A(MFD_RSS_MEMBER)
  MFD_Vector* skipHours;
  MFD_Vector* skipDays;
  MFD_RssChannelImage* image;
  MFD_RssChannelTextInput* textInput;
  MFD_List* items;
  MFD_RssDublinCore* dublinCore;
  MFD_RssSyndication* syndication;
  MFD_RSSCHANNEL_TEXTS_B(MFD_RSS_MEMBER)
  uint8_t menu;
  MFD_RSSCHANNEL_TEXTS_C(MFD_RSS_MEMBER)
};

int MFD_RssChannel_Create(MFD_RssChannel** out);
int MFD_RssChannel_Free(MFD_RssChannel** p);
int MFD_RssChannel_Copy(MFD_RssChannel** dst, const MFD_RssChannel* src);
#define MFD_RSS_DECL_MFD_RssChannel(Name, member) MFD_RSS_TEXT_DECL(MFD_RssChannel, Name, member)
MFD_RSSCHANNEL_TEXTS(MFD_RSS_DECL_MFD_RssChannel)
#undef MFD_RSS_DECL_MFD_RssChannel
MFD_RSS_RECORD_DECL(MFD_RssChannel, MFD_RssChannelImage, Image)
MFD_RSS_RECORD_DECL(MFD_RssChannel, MFD_RssChannelTextInput, TextInput)
MFD_RSS_RECORD_DECL(MFD_RssChannel, MFD_RssDublinCore, DublinCore)
MFD_RSS_RECORD_DECL(MFD_RssChannel, MFD_RssSyndication, Syndication)
int MFD_RssChannel_GetSkipHours(MFD_RssChannel* r, MFD_Vector** out);
int MFD_RssChannel_GetSkipDays(MFD_RssChannel* r, MFD_Vector** out);
int MFD_RssChannel_GetItems(MFD_RssChannel* r, MFD_List** out);
// Each element of the vectors is one NUL-terminated wide text.
int MFD_RssChannel_AddSkipHour(MFD_RssChannel* r, const wchar_t* text);
// Only the seven English day names, exact case; else MFD_ERR_VALUE.
int MFD_RssChannel_AddSkipDay(MFD_RssChannel* r, const wchar_t* text);
// Appends a deep copy; the list's elements are MFD_RssChannelItem pointers.
int MFD_RssChannel_AddItem(MFD_RssChannel* r, const MFD_RssChannelItem* item);
int MFD_RssChannel_SetMenu(MFD_RssChannel* r, uint8_t flag);
int MFD_RssChannel_GetMenu(MFD_RssChannel* r, uint8_t* out);

// The process-wide channel every parse starts its channel from.
int MFD_RssChannel_NewFromTemplate(MFD_RssChannel** out);
int MFD_RssChannel_SaveTemplate(const MFD_RssChannel* channel);
int MFD_RssChannel_FreeTemplate();
