// The attribute record of a mail being filed, from its decoded form: the
// flags the text itself decides and the list texts the mail lists show. The
// caller adds what only it knows (unread, state, kind, dates, UIDL).
#pragma once

#include "engine/public/store/QvMessageInterface.h"

struct Email;

QvMessageInterface::Attributes FilingAttributes(const Email& mail);
