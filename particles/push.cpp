#include "particles/push.h"

#include <omp.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "geometry/containment.h"
#include "geometry/findClearCells.h"
#include "particles/deposition.h"
#include "particles/depositParticle.h"
#include "particles/borisKick.h"
#include "particles/meshCells.h"
#include "particles/settleMovers.h"

namespace plasmabox {

namespace {

// The smallest box (m) that holds every object's bounding box. A point outside
// it is in no object's box, so no object can contain it: the containment query
// answers -1 there without looking at any object. Unusable (test every point)
// when some box has a NaN corner, which the query's own box test lets through.
struct ObjectsBox {
  bool usable = true;
  Vec3 lo{DBL_MAX, DBL_MAX, DBL_MAX};
  Vec3 hi{-DBL_MAX, -DBL_MAX, -DBL_MAX};
};

ObjectsBox objectsBox(std::span<const AmfObject> objects) {
  ObjectsBox box;
  for (const AmfObject& o : objects)
    for (int d = 0; d < 3; ++d) {
      if (std::isnan(o.bbox_min[d]) || std::isnan(o.bbox_max[d])) box.usable = false;
      box.lo[d] = std::min(box.lo[d], o.bbox_min[d]);
      box.hi[d] = std::max(box.hi[d], o.bbox_max[d]);
    }
  return box;
}

// False only when p is certainly in no object's closed box. A NaN coordinate
// gives true, as in the query's own box test.
bool mayBeInAnObject(const ObjectsBox& b, const Vec3& p) {
  return !b.usable ? true
                   : !(p.x < b.lo.x || p.y < b.lo.y || p.z < b.lo.z || p.x > b.hi.x || p.y > b.hi.y || p.z > b.hi.z);
}

// Whether f is exactly zero (either sign) at every node it stores. One pass,
// shared out over the team; the doubles' bits without their signs are or-ed.
bool zeroEverywhere(const VectorField& f, int threads) {
  const double* const v = &f.data.data()->x;
  const auto n = static_cast<int64_t>(3 * f.data.size());
  uint64_t bits = 0;
#pragma omp parallel for schedule(static) num_threads(threads) reduction(| : bits)
  for (int64_t q = 0; q < n; ++q) bits |= std::bit_cast<uint64_t>(v[q]) << 1;
  return bits == 0;
}

// Whether f is exactly zero (either sign) at every node of the cells of the
// tile whose lowest cell is c: then every gather there gives zero.
bool zeroOverTile(const VectorField& f, const int32_t c[3], int32_t edge) {
  const int32_t hi[3] = {std::min(c[0] + edge, f.ni - 1), std::min(c[1] + edge, f.nj - 1),
                         std::min(c[2] + edge, f.nk - 1)};
  for (int32_t i = c[0]; i <= hi[0]; ++i)
    for (int32_t j = c[1]; j <= hi[1]; ++j) {
      const Vec3* line = f.line(i, j);
      for (int32_t k = c[2]; k <= hi[2]; ++k)
        if (line[k].x != 0.0 || line[k].y != 0.0 || line[k].z != 0.0) return false;
    }
  return true;
}

// Everything the push of one tile reads, the same for every tile.
struct PushContext {
  const Grid* grid;
  const TileGrid* tiles;
  const VectorField* ef;
  const VectorField* bf;
  MeshCellLimits limits;
  std::span<const AmfObject> objects;
  ObjectsBox objects_box;
  const ClearCells* clear;
  bool has_objects;  // no object: no point can be in one
  bool use_clear;
  bool magnetic;     // the push turns the velocities in B
  bool b_anywhere;   // B is not zero at every node: each tile looks at its own nodes
  double dt;
  double k;  // velocity change per V/m over one step (C s / kg)
  double h;  // the same over half a step, for the magnetic rotation
  int32_t owned_lo;  // first cell along x this process owns
  double* den;
  Vec3* vel;
  const Field* field;
};

// Particles ahead of the one pushed whose record is fetched early.
constexpr uint32_t PREFETCH_AHEAD = 8;

// What the push deposits as it goes: nothing, the weights, or the weights and momenta.
enum class Deposit { NONE, DENSITY, FULL };

// Pushes the particles of tile `tile`, deposits those that end in the tile or
// one cell around it (the tiles of one colour do not share such nodes when
// the edge is 4 or more), and adds every particle that does not stay to found.
template <Deposit DEPOSIT>
void pushTile(const PushContext& context, ParticleList& list, uint32_t tile, std::vector<Mover>& found) {
  // Local copies: stores to the particles could otherwise be the doubles of
  // the context or the grid, which the compiler would then read again for
  // every particle.
  const PushContext c = context;
  const TileGrid tiles = *c.tiles;
  const MeshCellLimits limits = c.limits;
  const Vec3 x0 = c.grid->x0, inv_dh = c.grid->inv_dh;
  const double i0 = static_cast<double>(c.grid->i0);
  const double k_e = c.k, dt = c.dt;
  // Grid::toLogical, with the local copies.
  const auto logical = [x0, inv_dh, i0](const Vec3& p) {
    return Vec3{(p.x - x0.x) * inv_dh.x - i0, (p.y - x0.y) * inv_dh.y, (p.z - x0.z) * inv_dh.z};
  };
  int32_t lo[3];
  tileCorner(tiles, tile, lo);
  const int32_t edge = tiles.edge, shift = tiles.shift;
  // Most tiles of a run with magnets lie where B is zero: no rotation there.
  const bool turn = c.magnetic && c.b_anywhere && !zeroOverTile(*c.bf, lo, edge);
  const uint32_t n = list.counts[tile];
  const std::vector<uint32_t>& chain = list.blocks[tile];
  for (uint32_t first = 0; first < n; first += BLOCK_PARTICLES) {
    Particle* const block = list.pool.block(chain[first / BLOCK_PARTICLES]);
    const uint32_t m = std::min(BLOCK_PARTICLES, n - first);
    // The blocks of a tile lie anywhere in the pool: the memory system is
    // asked for the particles a few places ahead, across the block's end.
    const Particle* const next =
        first + BLOCK_PARTICLES < n ? list.pool.block(chain[first / BLOCK_PARTICLES + 1]) : block;
    for (uint32_t b = 0; b < m; ++b) {
      __builtin_prefetch(b + PREFETCH_AHEAD < BLOCK_PARTICLES ? &block[b + PREFETCH_AHEAD]
                                                             : &next[b + PREFETCH_AHEAD - BLOCK_PARTICLES],
                         1);
      Particle& p = block[b];
      const uint32_t slot = first + b;
      if (!(p.weight > 0.0)) {
        found.push_back({tile, slot, 0, -1, Fate::LEFT_MESH});
        continue;
      }
      // The old position lies in this tile's cells: the field there.
      const CellWeights old_cell = cellWeights(logical(p.pos));
      const Vec3 e = gatherAt(*c.ef, old_cell);
      Vec3 v = p.vel;
      Vec3 x = p.pos;
      const Vec3 b_here = turn ? gatherAt(*c.bf, old_cell) : Vec3{};
      if (b_here.x != 0.0 || b_here.y != 0.0 || b_here.z != 0.0) {
        borisKick(v, e, b_here, c.h);
      } else {
        v.x += k_e * e.x;
        v.y += k_e * e.y;
        v.z += k_e * e.z;
      }
      x.x += dt * v.x;
      x.y += dt * v.y;
      x.z += dt * v.z;
      // Stored member by member: a copy of the whole vector would be read
      // back from the stack in pieces the processor cannot forward.
      p.vel.x = v.x, p.vel.y = v.y, p.vel.z = v.z;
      p.pos.x = x.x, p.pos.y = x.y, p.pos.z = x.z;
      // Gone through a wall, into another process's cells, or absorbed by an
      // object. A particle in this process's cells is inside the mesh's
      // limits but for the upper limits (a coordinate that rounds into the
      // last cell may lie at or above the far wall). Most particles are in
      // parts of cells no object can reach, and skip the query there.
      const Vec3 l = logical(x);
      int32_t i, j, k;
      const bool here = cellOf(tiles, l, i, j, k) && i >= c.owned_lo && x.x <= limits.hi.x && x.y <= limits.hi.y &&
                        x.z <= limits.hi.z;
      if (!here && !insideLimits(limits, x)) {
        found.push_back({tile, slot, 0, -1, Fate::LEFT_MESH});
        continue;
      }
      if (c.has_objects && mayBeInAnObject(c.objects_box, x) && !(c.use_clear && inClearPart(*c.clear, x))) {
        const int object = findContainingObjectIndex(c.objects, x);
        if (object >= 0) {
          found.push_back({tile, slot, 0, object, Fate::ABSORBED});
          continue;
        }
      }
      if (!here) {
        found.push_back({tile, slot, 0, -1, Fate::LEFT_PROCESS});
        continue;
      }
      const bool stays = (((i ^ lo[0]) | (j ^ lo[1]) | (k ^ lo[2])) >> shift) == 0;
      const bool near = stays || (i >= lo[0] - 1 && i <= lo[0] + edge && j >= lo[1] - 1 && j <= lo[1] + edge &&
                                  k >= lo[2] - 1 && k <= lo[2] + edge);
      if (DEPOSIT != Deposit::NONE && near) {
        const CellWeights new_cell = cellWeights(l, i, j, k);
        if (DEPOSIT == Deposit::FULL)
          depositMoments(c.den, c.vel, *c.field, new_cell, Particle{x, v, p.weight});
        else
          depositDensity(c.den, *c.field, new_cell, p.weight);
      }
      if (!stays)
        found.push_back({tile, slot, tiles.tileOf(i, j, k), -1,
                         DEPOSIT != Deposit::NONE && near ? Fate::MOVED_DEPOSITED : Fate::MOVED});
    }
  }
}

}  // namespace

void pushParticles(Species& species, std::span<const AmfObject> objects, const ClearCells& clear, int threads,
                   bool magnetic_force, std::optional<Moments> deposit) {
  ParticleList& list = species.particles;
  const World& world = *species.world;
  const Grid& grid = world.grid;
  ParticleMoves& mv = species.moves;
  const int team = threads > 0 ? threads : 1;  // the clause needs a positive count
  placeAppended(list, grid);
  mv.movers.clear();
  mv.moving.clear();
  if (deposit)
    beginDeposition(species, *deposit, team);
  else
    mv.deposit_open = false;  // the particles have moved: a deposition begun before is void

  PushContext c;
  c.grid = &grid;
  c.tiles = &list.tiles;
  c.ef = &world.ef;
  c.bf = &world.B;
  c.limits = meshCellLimits(grid);
  c.objects = objects;
  c.objects_box = objectsBox(objects);
  c.clear = &clear;
  c.has_objects = !objects.empty();
  c.use_clear = c.has_objects && clear.usable && clearCellsMatch(clear, objects);
  c.magnetic = magnetic_force;
  c.b_anywhere = magnetic_force && !zeroEverywhere(world.B, team);
  c.dt = world.dt;
  // Every particle advances by exactly dt, so this is the same number for all of them.
  c.k = species.charge * world.dt / species.mass;
  c.h = 0.5 * c.k;
  c.owned_lo = grid.ownedBegin();
  c.den = species.den.data.data();
  c.vel = species.vel.data.data();
  c.field = &species.den;
  const Deposit kind = !deposit ? Deposit::NONE : *deposit == Moments::FULL ? Deposit::FULL : Deposit::DENSITY;

  const TileGrid& tiles = list.tiles;
  const uint32_t tile_count = tiles.count();
  mv.start.resize(static_cast<std::size_t>(tile_count) + 1);
  uint32_t* const start = mv.start.data();
  start[0] = 0;
  for (uint32_t t = 0; t < tile_count; ++t) start[t + 1] = start[t] + list.counts[t];
  mv.found.resize(static_cast<std::size_t>(team));
  mv.found_end.assign(8 * static_cast<std::size_t>(team), 0);
  uint32_t* const found_end = mv.found_end.data();
  int given = 1;

  // The tiles of one colour share no node: each thread pushes a share of a
  // colour's tiles and deposits straight into the fields, and a node adds
  // the shares of the tiles around it colour by colour, each tile's in list
  // order, whatever the team. Every iteration writes only its own particle.
#pragma omp parallel num_threads(team)
  {
    const int t = omp_get_thread_num();
#pragma omp single
    given = omp_get_num_threads();
    std::vector<Mover>& found = mv.found[static_cast<std::size_t>(t)];
    found.clear();
    for (int colour = 0; colour < 8; ++colour) {
      if (start[tiles.colour_start[colour]] != start[tiles.colour_start[colour + 1]]) {
        const BinRange mine = threadShare(start, tiles.colour_start[colour], tiles.colour_start[colour + 1], t, given);
        for (uint32_t tile = mine.lo; tile < mine.hi; ++tile) {
          if (kind == Deposit::FULL)
            pushTile<Deposit::FULL>(c, list, tile, found);
          else if (kind == Deposit::DENSITY)
            pushTile<Deposit::DENSITY>(c, list, tile, found);
          else
            pushTile<Deposit::NONE>(c, list, tile, found);
        }
      }
      found_end[colour * given + t] = static_cast<uint32_t>(found.size());
      // A colour without particles needs no barrier (every thread sees the same counts).
      if (start[tiles.colour_start[colour]] != start[tiles.colour_start[colour + 1]]) {
#pragma omp barrier
      }
    }
  }
  // The movers in list order: colour by colour the tiles run up the list,
  // within a colour thread by thread.
  for (int colour = 0; colour < 8; ++colour)
    for (int u = 0; u < given; ++u) {
      const std::vector<Mover>& found = mv.found[static_cast<std::size_t>(u)];
      const uint32_t from = colour == 0 ? 0 : found_end[(colour - 1) * given + u];
      mv.movers.insert(mv.movers.end(), found.begin() + from, found.begin() + found_end[colour * given + u]);
    }
  // What is left unplaced lies off this process's cells: another process's
  // on a slab, otherwise off the mesh.
  const uint32_t unplaced = list.unplacedBin();
  for (uint32_t slot = 0; slot < list.counts[unplaced]; ++slot) {
    const Particle& p = list.at(unplaced, slot);
    const bool elsewhere = world.part.distributed() && p.weight > 0.0 && insideLimits(c.limits, p.pos);
    mv.movers.push_back({unplaced, slot, 0, -1, elsewhere ? Fate::LEFT_PROCESS : Fate::LEFT_MESH});
  }
  mv.moving.resize(mv.movers.size());
  for (std::size_t q = 0; q < mv.movers.size(); ++q) mv.moving[q] = list.at(mv.movers[q].bin, mv.movers[q].slot);
}

void absorbedWeights(const ParticleMoves& moves, std::size_t objects, std::vector<double>& absorbed) {
  absorbed.assign(objects, 0.0);
  for (std::size_t q = 0; q < moves.movers.size(); ++q) {
    const Mover& m = moves.movers[q];
    if (m.fate == Fate::ABSORBED && m.object >= 0 && static_cast<std::size_t>(m.object) < objects)
      absorbed[static_cast<std::size_t>(m.object)] += moves.moving[q].weight;
  }
}

void advance(Species& species, std::span<const AmfObject> objects, const ClearCells& clear, int threads,
             bool magnetic_force, std::vector<double>* absorbed, std::optional<Moments> deposit) {
  pushParticles(species, objects, clear, threads, magnetic_force, deposit);
  if (absorbed) absorbedWeights(species.moves, objects.size(), *absorbed);
  settleMovers(species);
}

int64_t particlesLeftMesh(const ParticleMoves& moves) {
  int64_t left = 0;
  for (std::size_t q = 0; q < moves.movers.size(); ++q)
    left += moves.movers[q].fate == Fate::LEFT_MESH && moves.moving[q].weight > 0.0;
  return left;
}

}  // namespace plasmabox
