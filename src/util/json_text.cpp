#include "util/json_text.h"

namespace bb {

std::string JsonText(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string JsonString(std::string_view text) { return JsonText(Json(std::string(text))); }

}  // namespace bb
