#pragma once
// The options of the species' choice fields, in the order their stored encodings count them,
// and the intensity levels of the regions map. The species frame shows them, the species
// input form and the quick selection edit them.
#include <QStringList>

class TIntensityColors;

// "Ja", "Nej": HatFungi, CookingRequired.
const QStringList& FungiYesNoItems();
// "Ja", "Ofta", "Ibland", "Nej": ScaledHat, LinedHat, DottedHat, GroupedGrowth, FootRing, VisibleMeatJuice.
const QStringList& FungiOftenItems();
// From "Dödligt giftig" to "Mycket god": FoodValue1, FoodValue2.
const QStringList& FungiFoodItems();
// "Skivor", "Rör", "Taggar", "Åsar": HatSubType.
const QStringList& FungiHatSubTypeItems();
// HatSubGrowth and HatSubDensity, for gills and for pores.
const QStringList& FungiGillGrowthItems();
const QStringList& FungiPoreGrowthItems();
const QStringList& FungiGillDensityItems();
const QStringList& FungiPoreDensityItems();
// The fifteen habitats of Habitat, from "Barrskog" to "Annat".
const QStringList& FungiHabitatItems();
// The six substrates of GrowthMethod.
const QStringList& FungiGrowthMethodItems();
// The eighteen spore properties of SporeProps.
const QStringList& FungiSporePropItems();
// How common a species is in a region, from 0 (not found) to 3 (common).
TIntensityColors FungiOccurenceLevels();
