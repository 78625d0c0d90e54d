#include "host/colour.h"

#include <cstdio>

namespace host {

std::string colourName(Rgb colour) {
  if (colour == kGreen) return "green";
  if (colour == kRed) return "red";
  if (colour == kBlue) return "blue";
  if (colour == kBlack) return "black";
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.r, colour.g, colour.b);
  return text;
}

}  // namespace host
