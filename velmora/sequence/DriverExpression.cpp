// Expression driver (see DriverExpression.h).
#include "sequence/DriverExpression.h"

#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <cmath>

#include "core/AppLog.h"
#include "platform/Shell.h"
#include "sequence/Expression.h"

namespace {

const char* const kExpressionHelpUrl = "https://www.partow.net/programming/exprtk/index.html";

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

// The program and what it is bound to: x lives here so its address stays
// fixed; the user variables live in the driver's list.
struct ExpressionDriver::Compiled {
  std::string text;
  float x = 0.0f;
  ExprSymbolTable table;
  Expression expression;
};

ExpressionDriver::ExpressionDriver(fxBase* fx, AttributeDesc* attribute) : NoneDriver(fx, attribute) {
  AddString("_sExpression", &_sExpression);
}

ExpressionDriver::~ExpressionDriver() = default;

// ---------------------------------------------------------------------------
// Persistence
// ---------------------------------------------------------------------------

void ExpressionDriver::Load(const Json::Value& obj) {
  NoneDriver::Load(obj);
  // The program points into the list that is about to change.
  m_pCompiled.reset();

  // The count is only trusted as far as "Vars" really holds entries: a
  // negative, huge or mistyped count must neither allocate without bound nor
  // read past the array.
  size_t count = 0;
  if (obj.isObject()) {
    const Json::Value& wanted = obj["nVarCount"];
    const Json::Value& vars = obj["Vars"];
    const size_t available = vars.isArray() ? vars.size() : 0;
    if (wanted.isNumeric() && wanted.asDouble() > 0.0)
      count = std::min(available, static_cast<size_t>(std::min(wanted.asDouble(), 1e9)));
  }
  m_userVars.resize(count, ExpressionUserVar{std::string(), 0.0f});
  for (size_t i = 0; i < count; ++i) {
    const Json::Value& entry = obj["Vars"][static_cast<Json::ArrayIndex>(i)];
    const Json::Value& name = entry.isObject() ? entry["name"] : Json::Value::nullSingleton();
    const Json::Value& value = entry.isObject() ? entry["value"] : Json::Value::nullSingleton();
    m_userVars[i].name = name.isString() ? name.asString() : std::string();
    m_userVars[i].value = value.isNumeric() ? value.asFloat() : 0.0f;
  }
}

void ExpressionDriver::Save(Json::Value& obj) const {
  // Like the registered members, the variables go only into an object.
  if (!obj.isNull() && !obj.isObject()) return;
  NoneDriver::Save(obj);
  obj["nVarCount"] = static_cast<int>(m_userVars.size());
  if (m_userVars.empty()) {
    obj["Vars"] = Json::Value::nullSingleton();
    return;
  }
  Json::Value& vars = obj["Vars"];
  vars = Json::Value(Json::arrayValue);
  for (size_t i = 0; i < m_userVars.size(); ++i) {
    Json::Value& entry = vars[static_cast<Json::ArrayIndex>(i)];
    entry["name"] = m_userVars[i].name;
    entry["value"] = static_cast<double>(m_userVars[i].value);
  }
}

// ---------------------------------------------------------------------------
// Compilation and evaluation
// ---------------------------------------------------------------------------

void ExpressionDriver::Compile() {
  m_pCompiled.reset(new Compiled);
  Compiled& c = *m_pCompiled;
  c.text = _sExpression;
  c.table.Clear();
  c.table.AddVariable("x", c.x);
  c.table.AddConstants();

  // Bring the user list in line with the formula's free names; a formula
  // that does not parse keeps the list as it is, values included.
  std::vector<std::string> names;
  if (CollectExpressionVariables(c.text, names)) {
    for (const std::string& name : names) {
      const bool listed = std::any_of(m_userVars.begin(), m_userVars.end(),
                                      [&](const ExpressionUserVar& v) { return v.name == name; });
      if (!c.table.SymbolExists(name) && !listed) m_userVars.push_back(ExpressionUserVar{name, 0.0f});
    }
    for (size_t i = m_userVars.size(); i-- > 0;)
      if (!Contains(names, m_userVars[i].name)) m_userVars.erase(m_userVars.begin() + static_cast<long>(i));
  }

  // The list does not change again until the next compilation or load, so
  // its entries can be bound by address.
  for (ExpressionUserVar& v : m_userVars)
    if (IsValidExpressionSymbol(v.name) && !c.table.SymbolExists(v.name)) c.table.AddVariable(v.name, v.value);

  c.expression.Compile(c.text, c.table);  // a failure leaves the NaN program
}

float ExpressionDriver::Evaluate(float t) {
  if (m_pCompiled && m_pCompiled->text != _sExpression) m_pCompiled.reset();
  if (!m_pCompiled) Compile();
  m_pCompiled->x = t;
  const float value = m_pCompiled->expression.Value();
  // A loop that never ends gives NaN every frame; one line says why,
  // however many frames it repeats.
  if (m_pCompiled->expression.Stopped() && !m_bLoopLimitLogged) {
    m_bLoopLimitLogged = true;
    AppLog::Get().AddLog("[Expression] %s: formula stopped after %d loop iterations, value NaN\n",
                         _attribName.c_str(), Expression::kMaxLoopIterations);
  }
  return value;
}

// ---------------------------------------------------------------------------
// Editor panel
// ---------------------------------------------------------------------------

void DrawExpressionHelpLink() {
  const ImGuiStyle& style = ImGui::GetStyle();
  ImGui::PushStyleColor(ImGuiCol_Text, style.Colors[ImGuiCol_ButtonHovered]);
  ImGui::TextUnformatted("Exprtk help");
  ImGui::PopStyleColor();
  const bool hovered = ImGui::IsItemHovered();
  const ImVec2 min = ImGui::GetItemRectMin();
  const ImVec2 max = ImGui::GetItemRectMax();
  const ImU32 colour =
      ImGui::GetColorU32(style.Colors[hovered ? ImGuiCol_ButtonHovered : ImGuiCol_Button]);
  ImGui::GetWindowDrawList()->AddLine(ImVec2(min.x, max.y), max, colour, 1.0f);
  if (hovered) {
    ImGui::SetTooltip("Open in browser\n%s", kExpressionHelpUrl);
    if (ImGui::IsMouseClicked(0)) platform::OpenUrl(kExpressionHelpUrl);
  }
}

void ExpressionDriver::DrawEditor() {
  DrawExpressionHelpLink();
  ImGui::SetNextItemWidth(-FLT_MIN);
  ImGui::InputText("##string", &_sExpression);  // the next evaluation recompiles
  for (size_t i = 0; i < m_userVars.size(); ++i) {
    ImGui::PushID(static_cast<int>(i));
    ImGui::SliderFloat(m_userVars[i].name.c_str(), &m_userVars[i].value, -10.0f, 10.0f, "%.10f");
    ImGui::PopID();
  }
}
