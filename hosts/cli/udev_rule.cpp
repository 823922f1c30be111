#include "udev_rule.h"

#include "util/format.h"

namespace bb::cli {

namespace {

void ReplaceAll(std::string& text, std::string_view from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

}  // namespace

std::string UdevRuleFor(std::string_view ruleTemplate, const std::vector<UsbId>& ids) {
  std::string rules;
  while (!ruleTemplate.empty()) {
    const std::size_t end = ruleTemplate.find('\n');
    const std::string_view line = ruleTemplate.substr(0, end);
    ruleTemplate.remove_prefix(end == std::string_view::npos ? ruleTemplate.size() : end + 1);
    if (line.empty() || line.front() == '#') {
      rules.append(line).append("\n");
      continue;
    }
    for (const UsbId& id : ids) {
      std::string rule(line);
      // udev compares the sysfs text, which is four lower-case digits.
      ReplaceAll(rule, "VVVV", Format("%04x", id.vendor));
      ReplaceAll(rule, "PPPP", Format("%04x", id.product));
      rules.append(rule).append("\n");
    }
  }
  return rules;
}

}  // namespace bb::cli
