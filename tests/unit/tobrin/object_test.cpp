// The object's identity and lifetime: the factory, its interfaces and reference counting.
#include <gtest/gtest.h>

#include "zendral/tobrin.h"

namespace {

constexpr GUID kOtherId = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST(TobrinObject, CreateObjectAnswersOnlyItsClassAndInterfaces) {
  void* out = &out;
  EXPECT_FALSE(CreateObject(kOtherId, IID_ITobrin, &out));
  EXPECT_EQ(out, nullptr);
  out = &out;
  // The object built for an unknown interface is freed again (the leak checker would say).
  EXPECT_FALSE(CreateObject(CLSID_Tobrin, kOtherId, &out));
  EXPECT_EQ(out, nullptr);
  EXPECT_FALSE(CreateObject(CLSID_Tobrin, IID_ITobrin, nullptr));

  ASSERT_TRUE(CreateObject(CLSID_Tobrin, IID_IUnknown, &out));
  static_cast<IUnknown*>(out)->Release();
}

TEST(TobrinObject, InterfacesShareOneReferenceCount) {
  void* out = nullptr;
  ASSERT_TRUE(CreateObject(CLSID_Tobrin, IID_ITobrin, &out));
  auto* tobrin = static_cast<ITobrin*>(out);

  void* unknown = nullptr;
  ASSERT_EQ(tobrin->QueryInterface(IID_IUnknown, &unknown), S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(tobrin));
  void* none = &none;
  EXPECT_EQ(tobrin->QueryInterface(kOtherId, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(tobrin->QueryInterface(IID_ITobrin, nullptr), E_NOINTERFACE);

  EXPECT_EQ(tobrin->AddRef(), 3);
  EXPECT_EQ(tobrin->Release(), 2);
  EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 1);
  EXPECT_EQ(tobrin->Release(), 0);
}

}  // namespace
