#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Maths.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A small actor tree that resolves paths the way the actor system does:
// '/'-separated names, ".." and "parent" going up, relative to an actor.
struct Node {
    std::string name;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;

    Node* Add(const char* childName)
    {
        children.push_back(std::make_unique<Node>());
        children.back()->name = childName;
        children.back()->parent = this;
        return children.back().get();
    }
};

CQVActor* AsActor(Node* node)
{
    return reinterpret_cast<CQVActor*>(node);
}

Node* AsNode(CQVActor* actor)
{
    return reinterpret_cast<Node*>(actor);
}

class TreeResolver : public CQVActorPathResolver {
public:
    Node root;
    std::string text;

    const char* GetActorPath(CQVActor* actor, CQVActor* from) override
    {
        Node* target = AsNode(actor);
        Node* start = from ? AsNode(from) : &root;
        std::vector<Node*> up;
        for (Node* n = start; n; n = n->parent)
            up.push_back(n);
        std::vector<std::string> down;
        Node* common = target;
        while (std::find(up.begin(), up.end(), common) == up.end()) {
            down.insert(down.begin(), common->name);
            common = common->parent;
        }
        text = from ? "" : "/";
        for (Node* n = start; n != common; n = n->parent)
            text += "../";
        for (size_t i = 0; i < down.size(); ++i)
            text += (i ? "/" : "") + down[i];
        return text.c_str();
    }

    CQVActor* FindActorByPath(const char* path, CQVActor* from) override
    {
        Node* node = (!from || path[0] == '/') ? &root : AsNode(from);
        std::string rest = path;
        size_t pos = 0;
        while (node && pos <= rest.size()) {
            size_t end = rest.find('/', pos);
            std::string segment = rest.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            pos = end == std::string::npos ? rest.size() + 1 : end + 1;
            if (segment.empty())
                continue;
            if (segment == ".." || segment == "parent") {
                node = node->parent;
                continue;
            }
            Node* found = nullptr;
            for (auto& child : node->children)
                if (child->name == segment && !found)
                    found = child.get();
            node = found;
        }
        return AsActor(node);
    }
};

// Test messages on ids the vocabulary leaves free.
enum : uint32_t {
    TEST_ONE_ARG = 0x01,  // 0x01 + value type: one argument of that type
    TEST_ACTOR_REAL = 0x1a,
    TEST_STRING_REAL = 0x1b,
    TEST_EXT_REAL = 0x1c,
    TEST_NESTED = 0x1d,
    TEST_SELF_NESTED = 0x1e,
};

uint32_t OneArg(uint32_t type)
{
    return uint32_t(TEST_ONE_ARG) + type - 1;
}

class MessageArgs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterBaseClass();
        for (uint32_t type = VT_UINT32; type <= VT_COLOR; ++type)
            RegisterCommand(OneArg(type), "Test One", "", CLASS_BASE, 0, 1, type);
        RegisterCommand(TEST_ACTOR_REAL, "Test Actor Real", "", CLASS_BASE, 0, 2, uint32_t(VT_ACTORPOINTER),
                        uint32_t(VT_REAL));
        RegisterCommand(TEST_STRING_REAL, "Test String Real", "", CLASS_BASE, 0, 2, uint32_t(VT_STRING),
                        uint32_t(VT_REAL));
        RegisterCommand(TEST_EXT_REAL, "Test Ext Real", "", CLASS_BASE, 0, 2, uint32_t(VT_ACTORPOINTEREXT),
                        uint32_t(VT_REAL));
        RegisterCommand(TEST_NESTED, "Test Nested", "", CLASS_BASE, 0, 2, uint32_t(VT_ACTORPOINTER),
                        uint32_t(VT_COMMAND));
        RegisterCommand(TEST_SELF_NESTED, "Test Self Nested", "", CLASS_BASE, 0, 1, uint32_t(VT_COMMAND));
        CommandDescs_Finish();
    }
    static void TearDownTestSuite() { RegisterBaseClass(); }

    void SetUp() override
    {
        global = resolver.root.Add("Global");
        inventory = global->Add("Inventory");
        environment = global->Add("Environment");
        MessageArgs_SetPathResolver(&resolver);
    }
    void TearDown() override { MessageArgs_SetPathResolver(nullptr); }

    TreeResolver resolver;
    Node* global = nullptr;
    Node* inventory = nullptr;
    Node* environment = nullptr;
};

template <typename... T>
Bytes Pack(const T&... values)
{
    Bytes out;
    (
        [&] {
            const size_t at = out.size();
            out.resize(at + sizeof(values));
            std::memcpy(out.data() + at, &values, sizeof(values));
        }(),
        ...);
    return out;
}

Bytes Text(const char* s)
{
    return Bytes(s, s + std::strlen(s) + 1);
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

::MessageArgs View(const Bytes& bytes) { return Args_Of(bytes.data(), bytes.size()); }

Bytes Span(const ArgBlock& block)
{
    const uint8_t* p = static_cast<const uint8_t*>(block.data);
    return Bytes(p, p + block.size);
}

TEST_F(MessageArgs, ArgumentSizesAreMeasuredInTheData)
{
    const uint16_t units[] = {'a', 'b', 0};
    const uint32_t words[] = {1, 2, 0};
    Bytes sized = Cat({Pack(uint32_t(3)), {'x', 'y', 'z'}});
    Bytes ext = Cat({Pack(static_cast<void*>(nullptr)), Text("ab")});
    Bytes position = Pack(uint32_t(MSG_SET_POSITION), Vector3(1, 2, 3));
    Bytes randElse = Cat({Pack(uint32_t(MSG_RANDELSECOMMAND), 0.5f, static_cast<void*>(nullptr)), position,
                          Pack(static_cast<void*>(nullptr)), Pack(uint32_t(MSG_START_GAME))});
    EXPECT_EQ(GetArgumentSize(VT_DATA_NULLTERMINATED16, Args_Of(units)), 6u);
    EXPECT_EQ(GetArgumentSize(VT_DATA_NULLTERMINATED32, Args_Of(words)), 12u);
    EXPECT_EQ(GetArgumentSize(VT_STRING, Args_Of("")), 1u);
    EXPECT_EQ(GetArgumentSize(VT_STRING, Args_Of("abc")), 4u);
    EXPECT_EQ(GetArgumentSize(VT_DATA_WITH_SIZEHEADER, View(sized)), 7u);
    EXPECT_EQ(GetArgumentSize(VT_ACTORPOINTEREXT, View(ext)), sizeof(void*) + 3);
    EXPECT_EQ(GetArgumentSize(VT_COMMAND, View(position)), 16u);
    EXPECT_EQ(GetArgumentSize(VT_COMMAND, View(randElse)), randElse.size());
    EXPECT_EQ(GetArgumentSize(VT_POINTER, nullptr), sizeof(void*));
    EXPECT_EQ(GetArgumentSize(VT_BOX, nullptr), 24u);
    EXPECT_EQ(GetArgumentSize(VT_STRING128, nullptr), 128u);
    EXPECT_EQ(MessageArgs_GetBlockSize(MSG_SET_POSITION, nullptr), 12u);
    Bytes stringReal = Cat({Text("hello"), Pack(2.0f)});
    EXPECT_EQ(MessageArgs_GetBlockSize(TEST_STRING_REAL, View(stringReal)), 10u);
}

struct RoundTrip {
    const char* what;
    uint32_t type;
    Bytes memory;
    Bytes stored;
    Bytes imported;
};

TEST_F(MessageArgs, EachValueTypeExportsAndImports)
{
    void* somePointer = this;
    Bytes zeroPointer(sizeof(void*), 0);
    Bytes zeroStored(4, 0);
    Bytes matrix;
    for (int i = 0; i < 16; ++i)
        matrix = Cat({matrix, Pack(float(i))});
    Bytes text128(128, 0);
    std::memcpy(text128.data(), "name", 4);
    Bytes position = Pack(uint32_t(MSG_SET_POSITION), Vector3(1, 2, 3));
    Bytes orientation = Pack(uint32_t(MSG_SET_ORIENTATION), somePointer);
    const uint16_t units[] = {'q', 'v', 0};
    const uint32_t words[] = {7, 0};

    const RoundTrip cases[] = {
        {"UInt32", VT_UINT32, Pack(0x11223344u), Pack(0x11223344u), Pack(0x11223344u)},
        {"Int32", VT_INT32, Pack(-5), Pack(-5), Pack(-5)},
        {"Bool", VT_BOOL, Pack(1u), Pack(1u), Pack(1u)},
        {"Real", VT_REAL, Pack(2.5f), Pack(2.5f), Pack(2.5f)},
        {"String128", VT_STRING128, text128, text128, text128},
        {"CommandID", VT_COMMANDID, Pack(0x9au), Pack(0x9au), Pack(0x9au)},
        {"Pointer", VT_POINTER, Pack(somePointer), zeroStored, zeroPointer},
        {"ActorPointer", VT_ACTORPOINTER, Pack(AsActor(environment)), Text("../Environment"),
         Pack(AsActor(environment))},
        {"ActorPointer null", VT_ACTORPOINTER, Pack(static_cast<void*>(nullptr)), Text("/.."), zeroPointer},
        {"ActorPointer self", VT_ACTORPOINTER, Pack(AsActor(inventory)), Text(""), Pack(AsActor(inventory))},
        {"ActorPointerExt", VT_ACTORPOINTEREXT, Cat({Pack(AsActor(global)), Text("cam")}), {},
         Cat({zeroPointer, Bytes{0}})},
        {"ColObjPointer", VT_COLOBJPOINTER, Pack(somePointer), zeroStored, zeroPointer},
        {"ScriptPointer", VT_SCRIPTPOINTER, Pack(somePointer), zeroStored, zeroPointer},
        {"StringPtr", VT_STRINGPTR, Pack(somePointer), zeroStored, zeroPointer},
        {"Command", VT_COMMAND, position, position, position},
        {"Command holding a pointer", VT_COMMAND, orientation, Cat({Pack(uint32_t(MSG_SET_ORIENTATION)), zeroStored}),
         Cat({Pack(uint32_t(MSG_SET_ORIENTATION)), zeroPointer})},
        {"Data With Sizeheader", VT_DATA_WITH_SIZEHEADER, Cat({Pack(2u), {9, 8}}), Cat({Pack(2u), {9, 8}}),
         Cat({Pack(2u), {9, 8}})},
        {"String", VT_STRING, Text("Scenery"), Text("Scenery"), Text("Scenery")},
        {"Data Nullterminated16", VT_DATA_NULLTERMINATED16, Pack(units), Pack(units), Pack(units)},
        {"Data Nullterminated32", VT_DATA_NULLTERMINATED32, Pack(words), Pack(words), Pack(words)},
        {"Vector2", VT_VECTOR2, Pack(1.0f, 2.0f), Pack(1.0f, 2.0f), Pack(1.0f, 2.0f)},
        {"Vector3", VT_VECTOR3, Pack(Vector3(1, 2, 3)), Pack(Vector3(1, 2, 3)), Pack(Vector3(1, 2, 3))},
        {"Vector4", VT_VECTOR4, Pack(1.0f, 2.0f, 3.0f, 4.0f), Pack(1.0f, 2.0f, 3.0f, 4.0f),
         Pack(1.0f, 2.0f, 3.0f, 4.0f)},
        {"Matrix", VT_MATRIX, matrix, matrix, matrix},
        {"Quaternion", VT_QUATERNION, Pack(Quaternion{0, 0, 0, 1}), Pack(Quaternion{0, 0, 0, 1}),
         Pack(Quaternion{0, 0, 0, 1})},
        {"Plane", VT_PLANE, Pack(Plane{0, 1, 0, -2}), Pack(Plane{0, 1, 0, -2}), Pack(Plane{0, 1, 0, -2})},
        {"Box", VT_BOX, Pack(Box{{0, 0, 0}, {1, 1, 1}}), Pack(Box{{0, 0, 0}, {1, 1, 1}}),
         Pack(Box{{0, 0, 0}, {1, 1, 1}})},
        {"Color", VT_COLOR, Pack(1.0f, 0.5f, 0.25f, 1.0f), Pack(1.0f, 0.5f, 0.25f, 1.0f),
         Pack(1.0f, 0.5f, 0.25f, 1.0f)},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.what);
        const uint32_t id = OneArg(c.type);
        ArgBlock stored;
        ASSERT_EQ(MessageArgs_Export(AsActor(inventory), stored, id, View(c.memory)), 1);
        EXPECT_EQ(Span(stored), c.stored);
        // A block whose memory form is its stored form is handed back itself.
        EXPECT_EQ(stored.data == c.memory.data(), c.stored == c.memory && c.type != VT_COMMAND &&
                                                      c.type != VT_STRINGPTR);
        Bytes kept = Span(stored);
        ArgBlock back;
        ASSERT_EQ(MessageArgs_Import(AsActor(inventory), back, id, kept.data(), uint32_t(kept.size())), 1);
        EXPECT_EQ(Span(back), c.imported);
    }
}

TEST_F(MessageArgs, ActorPointerThenRealStoresThePathItsZeroAndTheReal)
{
    Bytes block = Pack(AsActor(inventory), 4.0f);
    ArgBlock stored;
    ASSERT_EQ(MessageArgs_Export(AsActor(environment), stored, TEST_ACTOR_REAL, View(block)), 1);
    EXPECT_EQ(Span(stored), Cat({Text("../Inventory"), Pack(4.0f)}));

    // Without an owner the path is absolute.
    ASSERT_EQ(MessageArgs_Export(nullptr, stored, TEST_ACTOR_REAL, View(block)), 1);
    Bytes absolute = Span(stored);
    EXPECT_EQ(absolute, Cat({Text("/Global/Inventory"), Pack(4.0f)}));
    ArgBlock back;
    ASSERT_EQ(MessageArgs_Import(AsActor(environment), back, TEST_ACTOR_REAL, absolute.data(),
                                 uint32_t(absolute.size())),
              1);
    EXPECT_EQ(Span(back), block);

    // A path that names nobody comes back as null.
    Bytes missing = Cat({Text("../Nobody"), Pack(4.0f)});
    ASSERT_EQ(MessageArgs_Import(AsActor(environment), back, TEST_ACTOR_REAL, missing.data(),
                                 uint32_t(missing.size())),
              1);
    EXPECT_EQ(Span(back), Pack(static_cast<void*>(nullptr), 4.0f));
}

TEST_F(MessageArgs, ActorPointerExtKeepsTheFollowingArgumentsInPlace)
{
    Bytes block = Cat({Pack(AsActor(global)), Text("target"), Pack(7.0f)});
    ArgBlock stored;
    ASSERT_EQ(MessageArgs_Export(nullptr, stored, TEST_EXT_REAL, View(block)), 1);
    EXPECT_EQ(Span(stored), Pack(7.0f));
    Bytes kept = Span(stored);
    ArgBlock back;
    ASSERT_EQ(MessageArgs_Import(nullptr, back, TEST_EXT_REAL, kept.data(), uint32_t(kept.size())), 1);
    EXPECT_EQ(Span(back), Cat({Pack(static_cast<void*>(nullptr)), Bytes{0}, Pack(7.0f)}));
}

TEST_F(MessageArgs, NestedCommandsStoreTheirPointersAsZero)
{
    Bytes block = Cat({Pack(AsActor(environment)), Pack(uint32_t(TEST_ACTOR_REAL), AsActor(inventory), 1.5f)});
    ArgBlock stored;
    ASSERT_EQ(MessageArgs_Export(AsActor(global), stored, TEST_NESTED, View(block)), 1);
    Bytes kept = Span(stored);
    EXPECT_EQ(kept, Cat({Text("Environment"), Pack(uint32_t(TEST_ACTOR_REAL), 0u, 1.5f)}));
    ArgBlock back;
    ASSERT_EQ(MessageArgs_Import(AsActor(global), back, TEST_NESTED, kept.data(), uint32_t(kept.size())), 1);
    EXPECT_EQ(Span(back),
              Cat({Pack(AsActor(environment)), Pack(uint32_t(TEST_ACTOR_REAL), static_cast<void*>(nullptr), 1.5f)}));
}

TEST_F(MessageArgs, ImportRefusesStoredBlocksThatEndEarly)
{
    const std::pair<uint32_t, Bytes> blocks[] = {
        {TEST_ACTOR_REAL, Cat({Text("Global/Inventory"), Pack(4.0f)})},
        {MSG_SET_POSITION, Pack(Vector3(1, 2, 3))},
        {TEST_NESTED, Cat({Text("Global"), Pack(uint32_t(TEST_STRING_REAL)), Text("abc"), Pack(1.0f)})},
        {OneArg(VT_DATA_WITH_SIZEHEADER), Cat({Pack(5u), {1, 2, 3, 4, 5}})},
        {OneArg(VT_DATA_NULLTERMINATED16), Bytes{1, 0, 2, 0, 0, 0}},
    };
    for (const auto& [id, full] : blocks) {
        SCOPED_TRACE(id);
        ArgBlock out;
        ASSERT_EQ(MessageArgs_Import(nullptr, out, id, full.data(), uint32_t(full.size())), 1);
        for (size_t cut = 0; cut < full.size(); ++cut) {
            Bytes part(full.begin(), full.begin() + cut);
            EXPECT_EQ(MessageArgs_Import(nullptr, out, id, part.data(), uint32_t(cut)), 0) << cut;
        }
    }
    // A size header that claims more than there is.
    Bytes lying = Cat({Pack(0xFFFFFFF0u), {1, 2}});
    ArgBlock out;
    EXPECT_EQ(MessageArgs_Import(nullptr, out, OneArg(VT_DATA_WITH_SIZEHEADER), lying.data(),
                                 uint32_t(lying.size())),
              0);
}

TEST_F(MessageArgs, CommandsNestedWithoutEndAreRefused)
{
    Bytes deep;
    for (int i = 0; i < 40; ++i)
        deep = Cat({deep, Pack(uint32_t(TEST_SELF_NESTED))});
    deep = Cat({deep, Pack(uint32_t(MSG_START_GAME))});
    ArgBlock out;
    EXPECT_EQ(MessageArgs_Import(nullptr, out, TEST_SELF_NESTED, deep.data(), uint32_t(deep.size())), 0);
    EXPECT_EQ(MessageArgs_Export(nullptr, out, TEST_SELF_NESTED, View(deep)), 0);
    EXPECT_EQ(GetArgumentSize(VT_COMMAND, View(deep)), 0u);
}

TEST_F(MessageArgs, BlocksLargerThanTheBufferAreRefused)
{
    std::string big(kMessageArgsBufferSize + 10, 'x');
    ArgBlock out;
    // An actor reference with a long name is not stored at all.
    Bytes ext = Cat({Pack(AsActor(global)), Text(big.c_str()), Pack(1.0f)});
    ASSERT_EQ(MessageArgs_Export(nullptr, out, TEST_EXT_REAL, View(ext)), 1);
    EXPECT_EQ(Span(out), Pack(1.0f));
    Bytes nested = Cat({Pack(AsActor(global)), Pack(OneArg(VT_STRING)), Text(big.c_str())});
    EXPECT_EQ(MessageArgs_Export(nullptr, out, TEST_NESTED, View(nested)), 0);
}

TEST_F(MessageArgs, UnregisteredMessagesHaveEmptyBlocks)
{
    ArgBlock out;
    uint8_t dummy = 0;
    ASSERT_EQ(MessageArgs_Export(nullptr, out, 0x2b, Args_Of(&dummy, 1)), 1);
    EXPECT_EQ(out.size, 0u);
    ASSERT_EQ(MessageArgs_Import(nullptr, out, 99999, &dummy, 0), 1);
    EXPECT_EQ(out.size, 0u);
    EXPECT_EQ(MessageArgs_GetBlockSize(0x2b, nullptr), 0u);
}

TEST_F(MessageArgs, WithoutResolverActorPointersStoreAsNull)
{
    MessageArgs_SetPathResolver(nullptr);
    Bytes block = Pack(AsActor(global), 1.0f);
    ArgBlock out;
    ASSERT_EQ(MessageArgs_Export(nullptr, out, TEST_ACTOR_REAL, View(block)), 1);
    Bytes kept = Span(out);
    EXPECT_EQ(kept, Cat({Text("/.."), Pack(1.0f)}));
    ASSERT_EQ(MessageArgs_Import(nullptr, out, TEST_ACTOR_REAL, kept.data(), uint32_t(kept.size())), 1);
    EXPECT_EQ(Span(out), Pack(static_cast<void*>(nullptr), 1.0f));
}

Bytes LerpOf(uint32_t id, float t, const Bytes& a, const Bytes& b, size_t size)
{
    const ::MessageArgs mixed = MessageArgs_Lerp(t, id, View(a), View(b));
    return mixed ? Bytes(mixed.Data(), mixed.Data() + size) : Bytes{};
}

TEST_F(MessageArgs, LerpFollowsTheArgumentTypes)
{
    EXPECT_EQ(LerpOf(MSG_SET_POSITION, 0.5f, Pack(Vector3(0, 2, -4)), Pack(Vector3(2, 4, 4)), 12),
              Pack(Vector3(1, 3, 0)));
    EXPECT_EQ(LerpOf(OneArg(VT_BOOL), 0.5f, Pack(0u), Pack(1u), 4), Pack(1u));
    EXPECT_EQ(LerpOf(OneArg(VT_BOOL), 0.0f, Pack(0u), Pack(1u), 4), Pack(1u));
    EXPECT_EQ(LerpOf(OneArg(VT_UINT32), 0.25f, Pack(10u), Pack(20u), 4), Pack(12u));
    EXPECT_EQ(LerpOf(OneArg(VT_UINT32), 0.5f, Pack(20u), Pack(10u), 4), Pack(15u));
    EXPECT_EQ(LerpOf(OneArg(VT_INT32), 0.33f, Pack(-10), Pack(10), 4), Pack(-3));
    EXPECT_EQ(LerpOf(OneArg(VT_COMMANDID), 0.5f, Pack(4u), Pack(9u), 4), Pack(6u));
    EXPECT_EQ(LerpOf(OneArg(VT_UINT32), 2.0f, Pack(0u), Pack(0xF0000000u), 4), Pack(0xFFFFFFFFu));
    EXPECT_EQ(LerpOf(OneArg(VT_BOX), 0.5f, Pack(Box{{0, 0, 0}, {2, 2, 2}}), Pack(Box{{2, 2, 2}, {4, 4, 4}}), 24),
              Pack(Box{{1, 1, 1}, {3, 3, 3}}));
    EXPECT_EQ(LerpOf(OneArg(VT_POINTER), 0.5f, Pack(static_cast<void*>(nullptr)), Pack(static_cast<void*>(this)),
                     sizeof(void*)),
              Pack(static_cast<void*>(this)));

    Matrix ma{}, mb{}, mid{};
    for (int i = 0; i < 16; ++i) {
        ma.m[i / 4][i % 4] = float(i);
        mb.m[i / 4][i % 4] = float(3 * i);
        mid.m[i / 4][i % 4] = float(2 * i);
    }
    EXPECT_EQ(LerpOf(OneArg(VT_MATRIX), 0.5f, Pack(ma), Pack(mb), 64), Pack(mid));

    // Variable arguments take b's bytes, and both blocks are walked by their own sizes.
    EXPECT_EQ(LerpOf(TEST_STRING_REAL, 0.5f, Cat({Text("ab"), Pack(1.0f)}), Cat({Text("wxyz"), Pack(3.0f)}), 9),
              Cat({Text("wxyz"), Pack(2.0f)}));
}

TEST_F(MessageArgs, LerpTurnsQuaternionsSpherically)
{
    const float s = std::sqrt(0.5f);
    Quaternion a{0, 0, 0, 1}, b{0, s, 0, s};  // identity and 90 degrees about Y
    const ::MessageArgs mixed = MessageArgs_Lerp(0.5f, MSG_SET_QUATERNION, Args_Of(&a), Args_Of(&b));
    ASSERT_TRUE(mixed.Holds(0, sizeof(Quaternion)));
    const Quaternion* q = reinterpret_cast<const Quaternion*>(mixed.Data());
    const float half = float(M_PI) / 8.0f;  // 45 degrees about Y, half angle
    EXPECT_NEAR(q->x, 0.0f, 1e-6f);
    EXPECT_NEAR(q->y, std::sin(half), 1e-5f);
    EXPECT_NEAR(q->z, 0.0f, 1e-6f);
    EXPECT_NEAR(q->w, std::cos(half), 1e-5f);
}

TEST_F(MessageArgs, LerpOfCommandsTakesTheIdOfTheFirstAndInterpolatesItsArguments)
{
    Bytes a = Pack(uint32_t(MSG_SET_POSITION), Vector3(0, 0, 0));
    Bytes b = Pack(uint32_t(MSG_SET_POSITION), Vector3(10, 20, 30));
    EXPECT_EQ(LerpOf(OneArg(VT_COMMAND), 0.1f, a, b, 16), Pack(uint32_t(MSG_SET_POSITION), Vector3(1, 2, 3)));
    Bytes lerpA = Cat({Pack(0.0f), a, a});
    Bytes lerpB = Cat({Pack(1.0f), b, b});
    EXPECT_EQ(LerpOf(MSG_COMMAND_LERP, 0.5f, lerpA, lerpB, 36),
              Cat({Pack(0.5f), Pack(uint32_t(MSG_SET_POSITION), Vector3(5, 10, 15)),
                   Pack(uint32_t(MSG_SET_POSITION), Vector3(5, 10, 15))}));
}

}  // namespace
