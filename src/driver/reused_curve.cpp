#include "driver/reused_curve.h"

#include "sdif/EPCrows.h"

Expected<SampleCurve> reused_curve(const std::string& file, const char* selection) {
  SampleCurve curve;
  if (Status read = EPCrows(file, curve.size, selection); !read) return std::move(read).error();
  curve.file = file;
  curve.selection = selection;
  return curve;
}
