// One line of the today screen for an information item, as the feed reader
// shows it.
#pragma once

#include <string>

struct TInfoData {
  std::string title;
  std::string link;
  std::string textLine;
  std::string dateText;
};
