#include "sdif/paramtable.h"

#include <cstdio>
#include <string>

namespace {

std::string printed(const char* format, double v) {
  char buf[512];  // "%f" of the largest double has 316 characters
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// The method text as a table value: the record holds what the command line gave.
std::string method_text(const std::string& method) {
  std::string out = method;
  for (char& c : out) {
    if (c == '\n' || c == '\r') c = '?';
  }
  return out;
}

}  // namespace

SDIFNameValueTable paramtable(const gengetopt_args_info& args, bool with_force_fcmax) {
  const bool external = args.f0_file_given != 0;
  SDIFNameValueTable t;
  t.AddNameValue("External_f0", external ? "Yes" : "No");
  t.AddNameValue("f0_fmin", external ? "None" : printed("%f", args.fmin_arg));
  t.AddNameValue("f0_fmax", external ? "None" : printed("%f", args.fmax_arg));
  t.AddNameValue("MethodEpocs", method_text(args.method_epocs_arg));
  t.AddNameValue("LpcOrder", args.method_epocs_arg == "frob" ? std::to_string(args.orderLPC_arg)
                                                             : std::string("None"));
  if (with_force_fcmax) t.AddNameValue("Force_fcmax", args.forcefc_given != 0 ? "Yes" : "No");
  t.AddNameValue("VoiceThreshold", printed("%f", args.voice_threshold_arg));
  t.AddNameValue("TransThreshold", printed("%f", args.trans_threshold_arg));
  t.AddNameValue("MarkAlpha", printed("%f", args.alpha_arg));
  t.AddNameValue("MarkBeta", printed("%f", args.beta_arg));
  t.AddNameValue("MarkGamma", printed("%f", args.gamma_arg));
  return t;
}
