// Dublin Core metadata of a channel, item, image or text input.
#pragma once

#include "engine/feeds/src/mfd_rssfield.h"

#define MFD_RSSDUBLINCORE_TEXTS(X) X(Title, title) X(Creator, creator) X(Subject, subject) X(Description, description) X(Publisher, publisher) X(Contributor, contributor) X(Date, date) X(Type, type) X(Format, format) X(Identifier, identifier) X(Source, source) X(Language, language) X(Relation, relation) X(Coverage, coverage) X(Rights, rights)

struct MFD_RssDublinCore {
  MFD_RSSDUBLINCORE_TEXTS(MFD_RSS_MEMBER)
};

int MFD_RssDublinCore_Create(MFD_RssDublinCore** out);
int MFD_RssDublinCore_Free(MFD_RssDublinCore** p);
int MFD_RssDublinCore_Copy(MFD_RssDublinCore** dst, const MFD_RssDublinCore* src);
#define MFD_RSS_DECL_MFD_RssDublinCore(Name, member) MFD_RSS_TEXT_DECL(MFD_RssDublinCore, Name, member)
MFD_RSSDUBLINCORE_TEXTS(MFD_RSS_DECL_MFD_RssDublinCore)
#undef MFD_RSS_DECL_MFD_RssDublinCore
