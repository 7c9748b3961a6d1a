#pragma once

// Shared set-up for the inspector tests: the records are process-wide, so
// every test starts from fresh records with the first row chosen.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/decoded_values.h"

using namespace kelm::viewer;

struct StatusTexts {
  std::u16string bin;
  std::u16string dec;
};

class InspectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (InspectorValue* record : inspectorValues) {
      record->Set(u"stale", u"stale");
    }
    selectedValue = &leUnsigned;
  }

  void TearDown() override {
    ClearInspectorValues();
    selectedValue = &leUnsigned;
  }

  // Runs the refresh on a selection of exactly these bytes, all read.
  static StatusTexts Refresh(const std::vector<uint8_t>& bytes) {
    return RefreshWith(bytes, bytes.size(), true);
  }

  // Runs the refresh with `bytes` as what was read from a selection of
  // `selectionLength` bytes.
  static StatusTexts RefreshWith(const std::vector<uint8_t>& bytes, uint64_t selectionLength,
                                 bool active) {
    StatusTexts texts{u"unset", u"unset"};
    RefreshInspectorFrom(bytes.empty() ? nullptr : bytes.data(), bytes.size(), selectionLength,
                         active, texts.bin, texts.dec);
    return texts;
  }

  static void ExpectRecord(const InspectorValue& record, const std::u16string& suffix,
                           const std::u16string& value) {
    EXPECT_EQ(record.suffix, suffix) << "record " << ::testing::PrintToString(record.name);
    EXPECT_EQ(record.value, value) << "record " << ::testing::PrintToString(record.name);
  }

  static void ExpectAllEmpty() {
    for (const InspectorValue* record : inspectorValues) {
      ExpectRecord(*record, u"", u"---");
    }
  }
};
