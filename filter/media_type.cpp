#include "filter/media_type.h"

#include <cstring>
#include <iterator>

namespace cordavex::filter {

namespace {

constexpr SubtypeRow kSubtypes[] = {
    {kSubtypeYV12, 9, kInputYV12, Handling::kConvert, 12},
    {kSubtypeYuv420, 9, kInputYuv420, Handling::kConvert, 12},
    {kSubtypeYVU9, 0, 0, Handling::kPassThrough, 0},
    {kSubtypeY411, 1, 0, Handling::kPassThrough, 0},
    {kSubtypeY41P, 2, 0, Handling::kPassThrough, 0},
    {kSubtypeYUY2, 9, kInputYUY2, Handling::kConvert, 16},
    {kSubtypeYVYU, 4, 0, Handling::kPassThrough, 0},
    {kSubtypeUYVY, 9, kInputUYVY, Handling::kConvert, 16},
    {kSubtypeY211, 6, 0, Handling::kPassThrough, 0},
    {kSubtypeRGB1, 10, 0, Handling::kPassThrough, 0},
    {kSubtypeRGB4, 11, 0, Handling::kPassThrough, 0},
    {kSubtypeRGB8, 12, 0, Handling::kPassThrough, 0},
    {kSubtypeRGB565, kFormatRGB565, 0, Handling::kCropAndTurn, 16},
    {kSubtypeRGB555, 14, 0, Handling::kPassThrough, 0},
    {kSubtypeRGB32, 15, 0, Handling::kPassThrough, 0},
};
constexpr SubtypeRow kOtherSubtype{kGuidNull, kFormatOther, 0, Handling::kPassThrough, 0};

}  // namespace

const SubtypeRow& FindSubtype(const Guid& subtype) {
  for (const SubtypeRow& row : kSubtypes) {
    if (row.subtype == subtype) return row;
  }
  return kOtherSubtype;
}

std::optional<VideoInfoHeader> ReadVideoInfo(const MediaType& type) {
  if (type.formatType != kFormatVideoInfo || type.format.size() < sizeof(VideoInfoHeader)) {
    return std::nullopt;
  }
  VideoInfoHeader header;
  std::memcpy(&header, type.format.data(), sizeof header);
  return header;
}

void WriteVideoInfo(MediaType* type, const VideoInfoHeader& header) {
  type->formatType = kFormatVideoInfo;
  // A longer block (colour masks, a palette after the header) keeps its tail.
  if (type->format.size() < sizeof header) type->format.resize(sizeof header);
  std::memcpy(type->format.data(), &header, sizeof header);
}

}  // namespace cordavex::filter
