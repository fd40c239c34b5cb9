#include "video/frame_conversion.h"

#include <cstring>

BitmapInfoHeader grabbedFrameHeader(int32_t width, int32_t height) {
  BitmapInfoHeader h{};
  h.biSize = sizeof(BitmapInfoHeader);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = 0;
  h.biSizeImage = static_cast<uint32_t>(3 * static_cast<int64_t>(width) * height);
  return h;
}

int32_t BitmapWriter::write(const AVFrame* frame, uint8_t* buffer, int32_t width, int32_t height) {
  if (frame->width <= 0 || frame->height <= 0 || frame->data[0] == nullptr) return VX_E_DECODE;
  // The "J" formats are the plain ones at full range; the range and matrix
  // are then given to the scaler from the frame itself.
  AVPixelFormat format = static_cast<AVPixelFormat>(frame->format);
  bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
  switch (format) {
    case AV_PIX_FMT_YUVJ420P: format = AV_PIX_FMT_YUV420P; fullRange = true; break;
    case AV_PIX_FMT_YUVJ422P: format = AV_PIX_FMT_YUV422P; fullRange = true; break;
    case AV_PIX_FMT_YUVJ444P: format = AV_PIX_FMT_YUV444P; fullRange = true; break;
    case AV_PIX_FMT_YUVJ440P: format = AV_PIX_FMT_YUV440P; fullRange = true; break;
    case AV_PIX_FMT_YUVJ411P: format = AV_PIX_FMT_YUV411P; fullRange = true; break;
    default: break;
  }
  SwsContext* previous = scaler_.get();
  SwsContext* scaler = sws_getCachedContext(scaler_.release(), frame->width, frame->height, format,
                                            width, height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr,
                                            nullptr, nullptr);
  scaler_.reset(scaler);
  if (scaler == nullptr) return VX_E_DECODE;
  const int space = frame->colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : frame->colorspace;
  if (scaler != previous || fullRange != fullRange_ || space != colorSpace_) {
    const int* coefficients = sws_getCoefficients(space);
    sws_setColorspaceDetails(scaler, coefficients, fullRange ? 1 : 0, coefficients, 1, 0, 1 << 16,
                             1 << 16);
    fullRange_ = fullRange;
    colorSpace_ = space;
  }

  const BitmapInfoHeader header = grabbedFrameHeader(width, height);
  std::memcpy(buffer, &header, sizeof header);
  uint8_t* bits = buffer + sizeof header;
  const int rowBytes = 3 * width;

  // Unscaled, with whole blocks of 16 pixels a row: straight into the
  // bitmap, bottom row first through a negative stride.
  if (width == frame->width && height == frame->height && width % 16 == 0) {
    uint8_t* planes[4] = {bits + static_cast<size_t>(height - 1) * rowBytes, nullptr, nullptr, nullptr};
    int strides[4] = {-rowBytes, 0, 0, 0};
    const int rows = sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    return rows == height ? S_OK : VX_E_DECODE;
  }

  // Otherwise through a padded top-down picture: the converters may write a
  // little past a row's end, which the padding and a spare row take.
  if (!padded_ || paddedWidth_ != width || paddedHeight_ != height) {
    padded_.reset();
    paddedStride_ = (rowBytes + 63) & ~63;
    padded_.reset(static_cast<uint8_t*>(
        av_malloc(static_cast<size_t>(paddedStride_) * (static_cast<size_t>(height) + 1))));
    if (!padded_) {
      paddedWidth_ = paddedHeight_ = 0;
      return E_OUTOFMEMORY;
    }
    paddedWidth_ = width;
    paddedHeight_ = height;
  }
  uint8_t* planes[4] = {padded_.get(), nullptr, nullptr, nullptr};
  int strides[4] = {paddedStride_, 0, 0, 0};
  const int rows = sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
  if (rows != height) return VX_E_DECODE;
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(bits + static_cast<size_t>(height - 1 - y) * rowBytes,
                padded_.get() + static_cast<size_t>(y) * paddedStride_, rowBytes);
  }
  return S_OK;
}
