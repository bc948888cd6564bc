#pragma once
// A full allocation of the built-in sample's default bond through the panel's widgets,
// shared by the desk's end-to-end and kill tests.

#include <functional>
#include <map>
#include <string>

#include "../panel/panel_workflow_support.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "CScenario.h"

namespace wf {

// The user's side of a first run, on the sample's won mixed tender: table one's won
// volumes (the marginal position won but for marginalCut), the fair distribution, table
// three through the interbank accounts and each position's underwriter, and "保存" unless
// the user leaves it unsaved. Panel: PanelUnderTest, or anything that names the same
// areas and buttons of a panel. afterStep is told 1, 2, 3 (and 4) as each step is done.
template <class Panel>
void allocateSample(const desk::CScenario& sample, Panel& p, double marginalCut = 1.0, bool save = true,
                    const std::function<void(int step)>& afterStep = [](int) {})
{
    const auto oneRows = [&p] { return rowsOf<TC::CAllocationUnderWriteData>(p.one()); };
    const auto twoRows = [&p] { return rowsOf<TC::CAllocationProductData>(p.two()); };
    const auto threeRows = [&p] { return rowsOf<TC::CAllocationMixedData>(p.three()); };
    using Helper = TC::CPanelBondTenderAllocationHelper;
    const desk::SScenarioBond& bond = *sample.bond(sample.defaultBondCode());
    std::map<int, std::string> productNames;
    std::map<std::string, std::string> interbankAccounts;   // by product name
    for (const desk::SScenarioProduct& product : sample.products()) {
        productNames[product.id] = product.name;
        for (const desk::SScenarioAccount& account : product.accounts)
            if (account.type == 15002)
                interbankAccounts[product.name] = account.id;
    }
    // in the sample each position of this bond was bid through one underwriter
    const auto underwriterOf = [&](double price) {
        for (const desk::SUnderwriterReport& r : sample.underwriterReports())
            if (r.bondCode == bond.code && Helper::isEqual(r.tenderPrice, price))
                return r.underwriter;
        return std::string();
    };

    p.panel->refreshWinBidAllocationPanel(false, bond.code, bond.basicTenderUnit);
    ASSERT_FALSE(oneRows().empty());
    for (const auto& row : oneRows()) {
        const bool marginal = Helper::isEqual(row->info->bidPrice, bond.marginalPrice);
        typeInto(p.one(), row->key(), 7, Helper::format4(row->info->bidAmount - (marginal ? marginalCut : 0.0), 0));
    }
    afterStep(1);
    click(p.fairButton());
    afterStep(2);

    const auto distributedTo = [&](const std::string& product, double price) {   // by the fair distribution
        for (const auto& row : twoRows())
            if (productNames[row->info->productId] == product && Helper::isEqual(row->info->tenderPrice, price))
                return row->info->winAmount;
        ADD_FAILURE() << "no table two row for " << product << " at " << price;
        return 0.0;
    };
    ASSERT_FALSE(threeRows().empty());
    for (const auto& row : threeRows()) {
        const double price = row->info->bidPrice;
        const std::pair<int, std::string> choices[] = {{1, "银行间"}, {2, "一级分销"}, {3, underwriterOf(price)},
                                                        {8, interbankAccounts[row->info->productName]}};
        for (const auto& choice : choices)
            typeInto(p.three(), row->key(), choice.first, choice.second);
        typeInto(p.three(), row->key(), 7, Helper::format4(distributedTo(row->info->productName, price), 0));
    }
    afterStep(3);
    if (save) {
        click(p.saveButton());
        afterStep(4);
    }
}

} // namespace wf
