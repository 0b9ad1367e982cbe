#include "platform/shell/Dialog.h"

#include "platform/Window.h"
#include "platform/font/FontFace.h"

#include <SDL2/SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <deque>

namespace {

// Dialog units in pixels: a quarter of the dialog font's average character
// width across, an eighth of its height down (a 6 x 13 pixel font).
constexpr float kUnitX = 1.5f;
constexpr float kUnitY = 1.625f;
constexpr float kFontPixels = 13.0f;
// Latin-1 and Latin Extended-A, Cyrillic, general punctuation.
constexpr ImWchar kGlyphRanges[] = {0x0020, 0x017F, 0x0400, 0x04FF, 0x2000, 0x206F, 0};
// Frames come this often while nothing happens.
constexpr uint32_t kIdleFrameMs = 33;

constexpr uint32_t GL_COLOR_BUFFER = 0x00004000;

std::function<void(PlatformDialog&)> g_FrameHook;

struct ControlState {
    DialogControl layout;
    bool checked = false;
    bool visible = true;
    bool enabled = true;
    std::string text;
    std::vector<std::string> items;
    int selection = -1;
};

struct Command {
    int id;
    int notification;
};

int Pixels(int units, float scale) { return static_cast<int>(std::lround(static_cast<float>(units) * scale)); }

}  // namespace

struct PlatformDialog::State {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    ImGuiContext* imgui = nullptr;
    bool backendReady = false;
    std::vector<ControlState> controls;
    std::deque<SDL_Event> pending;
    std::vector<Command> commands;
    bool ended = false;
    bool quitSeen = false;
    int result = IDCANCEL;
    uint32_t lastTicks = 0;

    void (*viewport)(int, int, int, int) = nullptr;
    void (*clearColor)(float, float, float, float) = nullptr;
    void (*clear)(uint32_t) = nullptr;

    ~State() {
        if (imgui != nullptr) {
            ImGui::SetCurrentContext(imgui);
            if (context != nullptr) SDL_GL_MakeCurrent(window, context);
            if (backendReady) ImGui_ImplOpenGL3_Shutdown();
            ImGui::DestroyContext(imgui);
        }
        if (context != nullptr) SDL_GL_DeleteContext(context);
        if (window != nullptr) SDL_DestroyWindow(window);
    }

    ControlState* Find(int id) {
        for (ControlState& control : controls) {
            if (control.layout.id == id && id != 0) return &control;
        }
        return nullptr;
    }

    // Auto radio buttons: one checked in a run of radios that starts at a group start.
    void CheckInGroup(size_t index) {
        size_t first = index;
        while (first > 0 && !controls[first].layout.groupStart && controls[first - 1].layout.kind == DIALOG_RADIO) --first;
        for (size_t i = first; i < controls.size() && controls[i].layout.kind == DIALOG_RADIO; ++i) {
            if (i != first && controls[i].layout.groupStart) break;
            controls[i].checked = i == index;
        }
    }

    bool Owns(uint32_t windowId) const { return windowId == 0 || windowId == SDL_GetWindowID(window); }

    // Toolkit events of this window (or of none, as pushed ones are) wait in
    // pending; others are dropped while the dialog is modal.
    void Collect() {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            switch (event.type) {
            case SDL_QUIT:
                quitSeen = true;
                commands.push_back({IDCANCEL, BN_CLICKED});
                break;
            case SDL_WINDOWEVENT:
                if (Owns(event.window.windowID) && event.window.event == SDL_WINDOWEVENT_CLOSE)
                    commands.push_back({IDCANCEL, BN_CLICKED});
                break;
            case SDL_MOUSEMOTION:
                if (Owns(event.motion.windowID)) pending.push_back(event);
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (Owns(event.button.windowID)) pending.push_back(event);
                break;
            case SDL_MOUSEWHEEL:
                if (Owns(event.wheel.windowID)) pending.push_back(event);
                break;
            case SDL_KEYDOWN:
                if (Owns(event.key.windowID)) pending.push_back(event);
                break;
            default: break;
            }
        }
    }

    // Hands the waiting events to the interface; a button that changes ends
    // the frame's input, so that a press and its release pushed together are
    // seen in two frames, as a click needs.
    void Apply() {
        ImGuiIO& io = ImGui::GetIO();
        while (!pending.empty()) {
            const SDL_Event event = pending.front();
            if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) {
                const int button = event.button.button == SDL_BUTTON_LEFT    ? 0
                                   : event.button.button == SDL_BUTTON_RIGHT ? 1
                                                                             : 2;
                io.MousePos = ImVec2(static_cast<float>(event.button.x), static_cast<float>(event.button.y));
                io.MouseDown[button] = event.type == SDL_MOUSEBUTTONDOWN;
                pending.pop_front();
                return;
            }
            pending.pop_front();
            if (event.type == SDL_MOUSEMOTION) {
                io.MousePos = ImVec2(static_cast<float>(event.motion.x), static_cast<float>(event.motion.y));
            } else if (event.type == SDL_MOUSEWHEEL) {
                io.MouseWheel += static_cast<float>(event.wheel.y);
            } else if (event.type == SDL_KEYDOWN) {
                const SDL_Keycode key = event.key.keysym.sym;
                if (key == SDLK_ESCAPE) commands.push_back({IDCANCEL, BN_CLICKED});
                if (key == SDLK_RETURN || key == SDLK_KP_ENTER) commands.push_back({IDOK, BN_CLICKED});
            }
        }
    }

    void DrawControl(size_t index) {
        ControlState& control = controls[index];
        const DialogControl& layout = control.layout;
        const ImVec2 at(static_cast<float>(Pixels(layout.x, kUnitX)), static_cast<float>(Pixels(layout.y, kUnitY)));
        const ImVec2 size(static_cast<float>(Pixels(layout.width, kUnitX)), static_cast<float>(Pixels(layout.height, kUnitY)));
        const std::string label = control.text + "##" + std::to_string(index);
        ImGui::SetCursorPos(at);
        switch (layout.kind) {
        case DIALOG_TEXT:
            ImGui::PushTextWrapPos(at.x + size.x);
            ImGui::TextUnformatted(control.text.c_str());
            ImGui::PopTextWrapPos();
            break;
        case DIALOG_GROUP_BOX: {
            ImDrawList* draw = ImGui::GetWindowDrawList();
            const ImVec2 origin = ImGui::GetWindowPos();
            const float textHeight = ImGui::GetTextLineHeight();
            const ImVec2 topLeft(origin.x + at.x, origin.y + at.y + textHeight / 2);
            draw->AddRect(topLeft, ImVec2(origin.x + at.x + size.x, origin.y + at.y + size.y),
                          ImGui::GetColorU32(ImGuiCol_Border));
            if (!control.text.empty()) {
                const ImVec2 textAt(origin.x + at.x + 6, origin.y + at.y);
                const ImVec2 textSize = ImGui::CalcTextSize(control.text.c_str());
                draw->AddRectFilled(ImVec2(textAt.x - 2, textAt.y), ImVec2(textAt.x + textSize.x + 2, textAt.y + textSize.y),
                                    ImGui::GetColorU32(ImGuiCol_WindowBg));
                draw->AddText(textAt, ImGui::GetColorU32(ImGuiCol_Text), control.text.c_str());
            }
            break;
        }
        case DIALOG_BUTTON:
            if (ImGui::Button(label.c_str(), size)) commands.push_back({layout.id, BN_CLICKED});
            break;
        case DIALOG_RADIO:
            if (ImGui::RadioButton(label.c_str(), control.checked)) {
                CheckInGroup(index);
                commands.push_back({layout.id, BN_CLICKED});
            }
            break;
        case DIALOG_COMBO: {
            ImGui::SetNextItemWidth(size.x);
            const char* preview = control.selection >= 0 ? control.items[static_cast<size_t>(control.selection)].c_str() : "";
            if (ImGui::BeginCombo(("##" + std::to_string(index)).c_str(), preview)) {
                for (size_t i = 0; i < control.items.size(); ++i) {
                    const bool selected = static_cast<int>(i) == control.selection;
                    if (ImGui::Selectable((control.items[i] + "##" + std::to_string(i)).c_str(), selected) && !selected) {
                        control.selection = static_cast<int>(i);
                        commands.push_back({layout.id, CBN_SELCHANGE});
                    }
                }
                ImGui::EndCombo();
            }
            break;
        }
        }
    }

    void Frame() {
        ImGui::SetCurrentContext(imgui);
        SDL_GL_MakeCurrent(window, context);
        ImGuiIO& io = ImGui::GetIO();
        int width = 0, height = 0;
        SDL_GetWindowSize(window, &width, &height);
        io.DisplaySize = ImVec2(static_cast<float>(width), static_cast<float>(height));
        const uint32_t now = SDL_GetTicks();
        io.DeltaTime = lastTicks != 0 && now > lastTicks ? static_cast<float>(now - lastTicks) / 1000.0f : 1.0f / 60.0f;
        lastTicks = now;
        Apply();

        ImGui_ImplOpenGL3_NewFrame();
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(io.DisplaySize);
        ImGui::Begin("##dialog", nullptr,
                     ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                         ImGuiWindowFlags_NoBringToFrontOnFocus);
        for (size_t i = 0; i < controls.size(); ++i) {
            if (!controls[i].visible) continue;
            ImGui::BeginDisabled(!controls[i].enabled);
            DrawControl(i);
            ImGui::EndDisabled();
        }
        ImGui::End();
        ImGui::Render();
        int drawableWidth = 0, drawableHeight = 0;
        SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
        viewport(0, 0, drawableWidth, drawableHeight);
        const ImVec4 background = ImGui::GetStyle().Colors[ImGuiCol_WindowBg];
        clearColor(background.x, background.y, background.z, 1.0f);
        clear(GL_COLOR_BUFFER);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        SDL_GL_SwapWindow(window);
    }
};

PlatformDialog::PlatformDialog(std::unique_ptr<State> state) : m_State(std::move(state)) {}
PlatformDialog::~PlatformDialog() = default;

std::unique_ptr<PlatformDialog> PlatformDialog::Create(const DialogTemplate& layout, std::string* error) {
    auto fail = [&](const std::string& what) -> std::unique_ptr<PlatformDialog> {
        if (error) *error = what + ": " + SDL_GetError();
        return nullptr;
    };
    if (!Platform_Init()) return fail("Platform_Init");
    auto state = std::make_unique<State>();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    state->window = SDL_CreateWindow(layout.caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                     Pixels(layout.width, kUnitX), Pixels(layout.height, kUnitY),
                                     SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (state->window == nullptr) return fail("SDL_CreateWindow");
    state->context = SDL_GL_CreateContext(state->window);
    if (state->context == nullptr) return fail("SDL_GL_CreateContext");
    state->viewport = reinterpret_cast<void (*)(int, int, int, int)>(SDL_GL_GetProcAddress("glViewport"));
    state->clearColor = reinterpret_cast<void (*)(float, float, float, float)>(SDL_GL_GetProcAddress("glClearColor"));
    state->clear = reinterpret_cast<void (*)(uint32_t)>(SDL_GL_GetProcAddress("glClear"));
    if (state->viewport == nullptr || state->clearColor == nullptr || state->clear == nullptr)
        return fail("glGetProcAddress");

    ImGuiContext* previous = ImGui::GetCurrentContext();
    state->imgui = ImGui::CreateContext();
    ImGui::SetCurrentContext(state->imgui);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    ImGui::StyleColorsLight();
    // A face with the letters of every language the dialogs are written in;
    // the interface's own font when none is found.
    PlatformFaceMatch face;
    if (PlatformFont_ResolveFace("Arial", false, false, &face) && !face.fallback)
        io.Fonts->AddFontFromFileTTF(face.file.c_str(), kFontPixels, nullptr, kGlyphRanges);
    if (io.Fonts->Fonts.empty()) io.Fonts->AddFontDefault();
    state->backendReady = ImGui_ImplOpenGL3_Init("#version 330 core");
    // The font and the shaders are made now, not on the first frame.
    const bool ready = state->backendReady && ImGui_ImplOpenGL3_CreateDeviceObjects();
    if (previous != nullptr) ImGui::SetCurrentContext(previous);
    if (!ready) return fail("ImGui_ImplOpenGL3_Init");

    for (const DialogControl& control : layout.controls) {
        ControlState state_;
        state_.layout = control;
        state_.text = control.caption;
        state->controls.push_back(std::move(state_));
    }
    return std::unique_ptr<PlatformDialog>(new PlatformDialog(std::move(state)));
}

int PlatformDialog::RunModal(const CommandHandler& handler) {
    State& s = *m_State;
    ImGuiContext* previous = ImGui::GetCurrentContext();
    s.ended = false;
    SDL_ShowWindow(s.window);
    while (!s.ended) {
        if (g_FrameHook) g_FrameHook(*this);
        // A quit asked for from outside (a signal) cancels; the request
        // stays for the owner.
        if (Platform_QuitRequested()) s.commands.push_back({IDCANCEL, BN_CLICKED});
        s.Collect();
        s.Frame();
        std::vector<Command> commands;
        commands.swap(s.commands);
        for (const Command& command : commands) {
            if (s.ended) break;
            handler(*this, command.id, command.notification);
        }
        if (!s.ended && s.pending.empty()) SDL_WaitEventTimeout(nullptr, static_cast<int>(kIdleFrameMs));
    }
    SDL_HideWindow(s.window);
    if (previous != nullptr) ImGui::SetCurrentContext(previous);
    // The desktop's quit is the owner's to act on too.
    if (s.quitSeen) Platform_RequestQuit();
    s.quitSeen = false;
    return s.result;
}

void PlatformDialog::EndDialog(int result) {
    m_State->result = result;
    m_State->ended = true;
}

void PlatformDialog::CheckRadioButton(int first, int last, int checked) {
    for (ControlState& control : m_State->controls) {
        const int id = control.layout.id;
        if (control.layout.kind == DIALOG_RADIO && id >= first && id <= last) control.checked = id == checked;
    }
}

int PlatformDialog::GetCheckedRadioButton(int first, int last) const {
    for (const ControlState& control : m_State->controls) {
        const int id = control.layout.id;
        if (control.layout.kind == DIALOG_RADIO && id >= first && id <= last && control.checked) return id;
    }
    return 0;
}

void PlatformDialog::SetItemText(int id, const std::string& text) {
    if (ControlState* control = m_State->Find(id)) control->text = text;
}

std::string PlatformDialog::GetItemText(int id) const {
    const ControlState* control = m_State->Find(id);
    return control != nullptr ? control->text : std::string();
}

void PlatformDialog::ShowItem(int id, bool show) {
    if (ControlState* control = m_State->Find(id)) control->visible = show;
}

bool PlatformDialog::IsItemVisible(int id) const {
    const ControlState* control = m_State->Find(id);
    return control != nullptr && control->visible;
}

void PlatformDialog::EnableItem(int id, bool enable) {
    if (ControlState* control = m_State->Find(id)) control->enabled = enable;
}

bool PlatformDialog::IsItemEnabled(int id) const {
    const ControlState* control = m_State->Find(id);
    return control != nullptr && control->enabled;
}

void PlatformDialog::ComboReset(int id) {
    if (ControlState* control = m_State->Find(id)) {
        control->items.clear();
        control->selection = -1;
    }
}

int PlatformDialog::ComboAdd(int id, const std::string& text) {
    ControlState* control = m_State->Find(id);
    if (control == nullptr) return -1;
    control->items.push_back(text);
    return static_cast<int>(control->items.size()) - 1;
}

int PlatformDialog::ComboGetCount(int id) const {
    const ControlState* control = m_State->Find(id);
    return control != nullptr ? static_cast<int>(control->items.size()) : 0;
}

int PlatformDialog::ComboGetSelection(int id) const {
    const ControlState* control = m_State->Find(id);
    return control != nullptr ? control->selection : -1;
}

void PlatformDialog::ComboSetSelection(int id, int index) {
    if (ControlState* control = m_State->Find(id)) {
        control->selection = index >= 0 && index < static_cast<int>(control->items.size()) ? index : -1;
    }
}

std::string PlatformDialog::ComboGetText(int id, int index) const {
    const ControlState* control = m_State->Find(id);
    if (control == nullptr || index < 0 || index >= static_cast<int>(control->items.size())) return {};
    return control->items[static_cast<size_t>(index)];
}

bool PlatformDialog::GetItemRect(int id, int* x, int* y, int* width, int* height) const {
    const ControlState* control = m_State->Find(id);
    if (control == nullptr) return false;
    *x = Pixels(control->layout.x, kUnitX);
    *y = Pixels(control->layout.y, kUnitY);
    *width = Pixels(control->layout.width, kUnitX);
    *height = Pixels(control->layout.height, kUnitY);
    return true;
}

void PlatformDialog::SetFrameHook(std::function<void(PlatformDialog&)> hook) { g_FrameHook = std::move(hook); }
