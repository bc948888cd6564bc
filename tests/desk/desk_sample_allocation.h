#pragma once
// A full allocation of the built-in sample's default bond through the panel's widgets,
// shared by the desk's end-to-end and kill tests.

#include <map>
#include <string>

#include "../panel/panel_workflow_support.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "CScenario.h"

namespace wf {

// The user's side of a first run, on the sample's won mixed tender: table one's won
// volumes (the marginal position won but for marginalCut), the fair distribution, table
// three through the interbank accounts and each position's underwriter, and "保存".
inline void allocateSample(const desk::CScenario& sample, PanelUnderTest& p, double marginalCut = 1.0)
{
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
    ASSERT_FALSE(oneRows(p).empty());
    for (const auto& row : oneRows(p)) {
        const bool marginal = Helper::isEqual(row->info->bidPrice, bond.marginalPrice);
        typeInto(p.one(), row->key(), 7, Helper::format4(row->info->bidAmount - (marginal ? marginalCut : 0.0), 0));
    }
    click(p.fairButton());

    const auto distributedTo = [&](const std::string& product, double price) {   // by the fair distribution
        for (const auto& row : twoRows(p))
            if (productNames[row->info->productId] == product && Helper::isEqual(row->info->tenderPrice, price))
                return row->info->winAmount;
        ADD_FAILURE() << "no table two row for " << product << " at " << price;
        return 0.0;
    };
    ASSERT_FALSE(threeRows(p).empty());
    for (const auto& row : threeRows(p)) {
        const double price = row->info->bidPrice;
        completeRow(p, row->key(), "银行间", "一级分销", underwriterOf(price), interbankAccounts[row->info->productName]);
        typeInto(p.three(), row->key(), 7, Helper::format4(distributedTo(row->info->productName, price), 0));
    }
    click(p.saveButton());
}

} // namespace wf
